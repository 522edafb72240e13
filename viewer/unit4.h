#pragma once
// The statistics window (TForm4): start and end of the range marked in the
// graph window, maximum, minimum and mean of the chosen axis and the number
// of samples, refreshed by its own timer from the graph window's values.
#include "ui/controls.h"
#include "ui/form.h"

namespace dorv::viewer {

class TForm4 : public ui::TForm {
 public:
  TForm4();
  ~TForm4() override;

  void Timer1Timer();

  ui::TLabel* Label1;  // start
  ui::TLabel* Label2;  // end
  ui::TLabel* Label3;  // maximum
  ui::TLabel* Label4;  // minimum
  ui::TLabel* Label5;  // count
  ui::TLabel* Label7;  // mean
  ui::TTimer* Timer1;
};

extern TForm4* Form4;

}  // namespace dorv::viewer
