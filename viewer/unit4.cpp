#include "viewer/unit4.h"

namespace dorv::viewer {

TForm4* Form4 = nullptr;

TForm4::TForm4() : TForm("Form4") {}

TForm4::~TForm4() {
  if (Form4 == this) Form4 = nullptr;
}

}  // namespace dorv::viewer
