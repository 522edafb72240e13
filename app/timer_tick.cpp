// The periodic tick of the main window.
#include "app/unit1.h"
#include "ui/application.h"

namespace dorv::app {

void TForm1::Timer1Timer() {
  // 1. Stop the timer for the length of the tick; show the interval in force.
  int interval = Timer1->Interval();
  Timer1->SetInterval(0);
  Edit9->SetText(std::to_string(interval));
  // 2. The PC clock.
  NowStamp = ui::Application()->Now();
  NowText = ui::FormatYmdHms(NowStamp);
  // 4. Show the clock.
  Label6->SetCaption(NowText);
  // 15. Run again at the remembered interval.
  Timer1->SetInterval(interval);
}

}  // namespace dorv::app
