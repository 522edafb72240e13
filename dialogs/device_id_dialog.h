#pragma once
// The device-ID dialog: sets the logger's unit number ("N" + two digits).
#include "forms/Form3_controls.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace dorv::dialogs {

class TForm3 : public ui::TForm, public designs::Form3Controls<TForm3> {
 public:
  TForm3();
  ~TForm3() override;
  void DoCreate() override;

  void FormShow();
  void Edit1KeyPress(char& key);
  void Button1Click();
};

extern TForm3* Form3;

}  // namespace dorv::dialogs
