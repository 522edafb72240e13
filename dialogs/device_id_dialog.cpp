#include "dialogs/device_id_dialog.h"

#include "app/main_window.h"
#include "dialogs/two_digit_setting.h"

namespace dorv::dialogs {

TForm3* Form3 = nullptr;

TForm3::TForm3() : TForm("Form3") {
  BindControls();
  WireEvents();
}

TForm3::~TForm3() {
  if (Form3 == this) Form3 = nullptr;
}

void TForm3::DoCreate() {
  // The unit number shown by the main window at this time.
  if (app::Form1) Edit1->SetText(app::Form1->Find<ui::TLabel>("Label18")->Caption());
}

void TForm3::FormShow() {
  Edit1->SetFocus();
}

void TForm3::Edit1KeyPress(char& key) {
  if (key != 8 && (key < '0' || key > '9')) key = 0;
}

void TForm3::Button1Click() {
  if (SendTwoDigitSetting(Edit1, 'N', true)) Hide();
}

}  // namespace dorv::dialogs
