#include "viewer/unit3.h"

#include "app/unit1.h"
#include "viewer/id_dialogs_common.h"

namespace dorv::viewer {

TForm3* Form3 = nullptr;

TForm3::TForm3() : TForm("Form3") {
  Label1 = Find<ui::TLabel>("Label1");
  Edit1 = Find<ui::TEdit>("Edit1");
  Button1 = Find<ui::TButton>("Button1");
  OnShow = [this] { FormShow(); };
  Edit1->OnKeyPress = [this](char& k) { Edit1KeyPress(k); };
  Button1->OnClick = [this] { Button1Click(); };
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

}  // namespace dorv::viewer
