#include "dialogs/reservation_dialog.h"

#include "app/main_window.h"
#include "ui/application.h"
#include "ui/text.h"

namespace dorv::dialogs {

TForm5* Form5 = nullptr;

namespace {
std::string TwoDigits(int v) {
  return ui::Format("%02d", v);
}
std::string Part(const std::string& s, size_t pos, size_t len) {
  return pos < s.size() ? s.substr(pos, len) : std::string();
}
}  // namespace

TForm5::TForm5() : TForm("Form5") {
  BindControls();
  WireEvents();
}

TForm5::~TForm5() {
  if (Form5 == this) Form5 = nullptr;
}

void TForm5::FormCreate() {
  std::vector<std::string> months, days, hours, minutes;
  for (int i = 1; i <= 12; ++i) months.push_back(TwoDigits(i));
  for (int i = 1; i <= 31; ++i) days.push_back(TwoDigits(i));
  for (int i = 0; i <= 23; ++i) hours.push_back(TwoDigits(i));
  hours.push_back("00");
  for (int i = 0; i <= 59; ++i) minutes.push_back(TwoDigits(i));
  minutes.push_back("00");
  ComboBox1->SetItems(months);
  ComboBox2->SetItems(days);
  ComboBox3->SetItems(hours);
  ComboBox4->SetItems(minutes);
}

int TForm5::BoxValue() const {
  return ui::StrToInt(ComboBox1->Text()) * 1000000 + ui::StrToInt(ComboBox2->Text()) * 10000 +
         ui::StrToInt(ComboBox3->Text()) * 100 + ui::StrToInt(ComboBox4->Text());
}

void TForm5::FormShow() {
  const std::string& t = app::Form1->ReserveTimeText;
  ComboBox1->SetText(Part(t, 0, 2));
  ComboBox2->SetText(Part(t, 3, 2));
  if (Part(t, 8, 1) == ":") {
    ComboBox3->SetText(Part(t, 6, 2));
    ComboBox4->SetText(Part(t, 9, 2));
  } else {  // a one-digit hour
    ComboBox3->SetText("0" + Part(t, 6, 1));
    ComboBox4->SetText(Part(t, 8, 2));
  }
  ShownTimeValue = BoxValue();
}

void TForm5::ComboBoxKeyPress(ui::TComboBox* box, char& key) {
  if (key < '0' || key > '9') {
    key = 0;
    return;
  }
  std::string text = ui::Trim(box->Text());
  if (text.empty()) text = "00";
  if (text.size() > 2) text = text.substr(0, 2);
  box->SetText(text);
}

void TForm5::ComboBox2Change() {
  int m = ui::StrToInt(ComboBox1->Text());
  int d = ui::StrToInt(ComboBox2->Text());
  CorrectedDay = d;
  auto& modals = ui::Application()->Modals();
  if (m == 2 && d == 29) {
    modals.ShowMessage("うるう年ですか？");
  } else if (m == 2 && d >= 30) {
    modals.ShowMessage("その日は指定できません");
    CorrectedDay = 28;
  } else if ((m == 4 || m == 6 || m == 9 || m == 11) && d == 31) {
    modals.ShowMessage("その日は指定できません");
    CorrectedDay = 30;
  }
}

void TForm5::Timer1Timer() {
  if (CorrectedDay != 0) ComboBox2->SetText(TwoDigits(CorrectedDay));
}

void TForm5::Button1Click() {
  int v = BoxValue();
  auto& modals = ui::Application()->Modals();
  if (v - ShownTimeValue < 0) modals.ShowMessage("来年の話ですけど、よいですか？");
  if (v - ShownTimeValue > 150000) modals.ShowMessage("ずいぶんさきですけど、よいですか？");
  app::TForm1* f = app::Form1;
  f->ReserveTimeText = ComboBox1->Text() + "/" + ComboBox2->Text() + " " + ComboBox3->Text() + ":" +
                       ComboBox4->Text();
  Hide();
  f->Label25->SetCaption(f->ReserveTimeText);
  if (f->ReserveState == 2) {
    f->ReserveState = 1;
    f->ComboBox4Change();
  }
  f->ReserveState = 1;
}

bool TForm5::GetStateVariable(const std::string& name, std::string& out) const {
  if (name == "ShownTimeValue")
    out = std::to_string(ShownTimeValue);
  else if (name == "CorrectedDay")
    out = std::to_string(CorrectedDay);
  else
    return false;
  return true;
}

}  // namespace dorv::dialogs
