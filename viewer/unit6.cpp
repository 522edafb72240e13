#include "viewer/unit6.h"

namespace dorv::viewer {

TForm6* Form6 = nullptr;

TForm6::TForm6() : TForm("Form6") {}

TForm6::~TForm6() {
  if (Form6 == this) Form6 = nullptr;
}

}  // namespace dorv::viewer
