#pragma once
#include "ui/form.h"

namespace dorv::viewer {

class TForm6 : public ui::TForm {
 public:
  TForm6();
  ~TForm6() override;
};

extern TForm6* Form6;

}  // namespace dorv::viewer
