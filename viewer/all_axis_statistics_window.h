#pragma once
// The all-axis statistics window (TForm7): for the range marked in the graph
// window, count, minimum, maximum, mean, standard deviation and RMS of X, Y,
// Z (G) and the temperature (degrees Celsius), and the peak of the
// acceleration vector's magnitude. Opened by the graph window's "全軸統計"
// button and refreshed by its own timer, as the statistics window is.
#include <string>
#include <vector>

#include "forms/Form7_controls.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "viewer/axis_statistics.h"

namespace dorv::viewer {

class TForm2;

// The statistics of the range marked in the graph window now; count 0 when
// no range is marked or the range holds no drawn sample.
RangeStatistics MarkedRangeStatistics(const TForm2& graph);

class TForm7 : public ui::TForm, public designs::Form7Controls<TForm7> {
 public:
  TForm7();
  ~TForm7() override;

  void Timer1Timer();
};

extern TForm7* Form7;

}  // namespace dorv::viewer
