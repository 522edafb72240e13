#include "viewer/unit5.h"

namespace dorv::viewer {

TForm5* Form5 = nullptr;

TForm5::TForm5() : TForm("Form5") {}

TForm5::~TForm5() {
  if (Form5 == this) Form5 = nullptr;
}

}  // namespace dorv::viewer
