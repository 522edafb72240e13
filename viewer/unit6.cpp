#include "viewer/unit6.h"

#include "viewer/id_dialogs_common.h"

namespace dorv::viewer {

TForm6* Form6 = nullptr;

TForm6::TForm6() : TForm("Form6") {
  Button1 = Find<ui::TButton>("Button1");
  Edit1 = Find<ui::TEdit>("Edit1");
  Button1->OnClick = [this] { Button1Click(); };
}

TForm6::~TForm6() {
  if (Form6 == this) Form6 = nullptr;
}

void TForm6::Button1Click() {
  if (SendTwoDigitSetting(Edit1, 'w', false)) Hide();
}

}  // namespace dorv::viewer
