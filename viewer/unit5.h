#pragma once
// The reservation time dialog: month, day, hour and minute of a reserved
// start, checked roughly and handed back as "mm/dd hh:mm".
#include "ui/controls.h"
#include "ui/form.h"

namespace dorv::viewer {

class TForm5 : public ui::TForm {
 public:
  TForm5();
  ~TForm5() override;
  void DoCreate() override { FormCreate(); }

  void FormCreate();
  void FormShow();
  void ComboBoxKeyPress(ui::TComboBox* box, char& key);
  void ComboBox2Change();
  void Timer1Timer();
  void Button1Click();

  ui::TComboBox* ComboBox1;  // month
  ui::TComboBox* ComboBox2;  // day
  ui::TComboBox* ComboBox3;  // hour
  ui::TComboBox* ComboBox4;  // minute
  ui::TButton* Button1;
  ui::TTimer* Timer1;

  int ShownTimeValue = 0;
  int CorrectedDay = 0;

  bool GetStateVariable(const std::string& name, std::string& out) const override;

 private:
  int BoxValue() const;  // month x 1000000 + day x 10000 + hour x 100 + minute
};

extern TForm5* Form5;

}  // namespace dorv::viewer
