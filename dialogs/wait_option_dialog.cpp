#include "dialogs/wait_option_dialog.h"

#include "dialogs/two_digit_setting.h"

namespace dorv::dialogs {

TForm6* Form6 = nullptr;

TForm6::TForm6() : TForm("Form6") {
  BindControls();
  WireEvents();
}

TForm6::~TForm6() {
  if (Form6 == this) Form6 = nullptr;
}

void TForm6::Button1Click() {
  if (SendTwoDigitSetting(Edit1, 'w', false)) Hide();
}

}  // namespace dorv::dialogs
