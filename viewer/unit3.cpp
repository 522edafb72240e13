#include "viewer/unit3.h"

namespace dorv::viewer {

TForm3* Form3 = nullptr;

TForm3::TForm3() : TForm("Form3") {}

TForm3::~TForm3() {
  if (Form3 == this) Form3 = nullptr;
}

}  // namespace dorv::viewer
