#pragma once
// The wait-option dialog: sets the logger's start-wait value ("w" + two digits).
#include "forms/Form6_controls.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace dorv::dialogs {

class TForm6 : public ui::TForm, public designs::Form6Controls<TForm6> {
 public:
  TForm6();
  ~TForm6() override;

  void Button1Click();
};

extern TForm6* Form6;

}  // namespace dorv::dialogs
