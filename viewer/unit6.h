#pragma once
// The wait-option dialog: sets the logger's start-wait value ("w" + two digits).
#include "ui/controls.h"
#include "ui/form.h"

namespace dorv::viewer {

class TForm6 : public ui::TForm {
 public:
  TForm6();
  ~TForm6() override;

  void Button1Click();

  ui::TButton* Button1;
  ui::TEdit* Edit1;
};

extern TForm6* Form6;

}  // namespace dorv::viewer
