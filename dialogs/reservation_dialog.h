#pragma once
// The reservation time dialog: month, day, hour and minute of a reserved
// start, checked roughly and handed back as "mm/dd hh:mm".
#include "forms/Form5_controls.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace dorv::dialogs {

class TForm5 : public ui::TForm, public designs::Form5Controls<TForm5> {
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

  int ShownTimeValue = 0;
  int CorrectedDay = 0;

  bool GetStateVariable(const std::string& name, std::string& out) const override;

 private:
  int BoxValue() const;  // month x 1000000 + day x 10000 + hour x 100 + minute
};

extern TForm5* Form5;

}  // namespace dorv::dialogs
