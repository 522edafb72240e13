#include "viewer/unit2.h"

namespace dorv::viewer {

TForm2* Form2 = nullptr;

TForm2::TForm2() : TForm("Form2") {}

TForm2::~TForm2() {
  if (Form2 == this) Form2 = nullptr;
}

}  // namespace dorv::viewer
