#include "dialogs/two_digit_setting.h"

#include "app/main_window.h"
#include "ui/text.h"

namespace dorv::dialogs {

bool SendTwoDigitSetting(ui::TEdit* edit, char command, bool refuseZero) {
  app::TForm1* f = app::Form1;
  if (!f || !f->Ready() || f->Busy()) return false;
  std::string text = edit->Text();
  int n = 0;
  if (!ui::Trim(text).empty()) {
    // A run of digits too long for an integer is simply out of range.
    if (!ui::TryStrToInt(text, n)) {
      if (ui::Trim(text).find_first_not_of("0123456789") != std::string::npos)
        n = ui::StrToInt(text);  // raises the conversion error
      n = 0;
    }
  }
  if (n < 0 || n > 99) n = 0;
  edit->SetText(ui::Format("%02d", n));
  edit->Repaint();
  if (refuseZero && n == 0) return false;
  f->SendWithStatus(std::string(1, command) + edit->Text());
  return true;
}

}  // namespace dorv::dialogs
