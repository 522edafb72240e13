#pragma once
// The device-ID dialog: sets the logger's unit number ("N" + two digits).
#include "ui/controls.h"
#include "ui/form.h"

namespace dorv::viewer {

class TForm3 : public ui::TForm {
 public:
  TForm3();
  ~TForm3() override;
  void DoCreate() override;

  void FormShow();
  void Edit1KeyPress(char& key);
  void Button1Click();

  ui::TLabel* Label1;
  ui::TEdit* Edit1;
  ui::TButton* Button1;
};

extern TForm3* Form3;

}  // namespace dorv::viewer
