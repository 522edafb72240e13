#pragma once
// The statistics window (TForm4): start and end of the range marked in the
// graph window, maximum, minimum and mean of the chosen axis and the number
// of samples, refreshed by its own timer from the graph window's values.
#include "forms/Form4_controls.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace dorv::viewer {

class TForm4 : public ui::TForm, public designs::Form4Controls<TForm4> {
 public:
  TForm4();
  ~TForm4() override;

  void Timer1Timer();
};

extern TForm4* Form4;

}  // namespace dorv::viewer
