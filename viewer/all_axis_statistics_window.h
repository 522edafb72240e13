#pragma once
// The all-axis statistics window (TForm7): for the range marked in the graph
// window, count, minimum, maximum, mean, standard deviation and RMS of X, Y,
// Z (G) and the temperature (degrees Celsius), and the peak of the
// acceleration vector's magnitude. Opened by the graph window's "全軸統計"
// button and refreshed by its own timer, as the statistics window is.
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/form.h"
#include "viewer/axis_statistics.h"

namespace dorv::viewer {

class TForm2;

// The statistics of the range marked in the graph window now; count 0 when
// no range is marked or the range holds no drawn sample.
RangeStatistics MarkedRangeStatistics(const TForm2& graph);

class TForm7 : public ui::TForm {
 public:
  TForm7();
  ~TForm7() override;

  void Timer1Timer();

  ui::TLabel* Label1;  // start
  ui::TLabel* Label2;  // end
  ui::TLabel* Label3;  // table head
  ui::TLabel* Label4;  // X
  ui::TLabel* Label5;  // Y
  ui::TLabel* Label6;  // Z
  ui::TLabel* Label7;  // temperature
  ui::TLabel* Label8;  // peak magnitude
  ui::TTimer* Timer1;
};

extern TForm7* Form7;

}  // namespace dorv::viewer
