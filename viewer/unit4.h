#pragma once
#include "ui/form.h"

namespace dorv::viewer {

class TForm4 : public ui::TForm {
 public:
  TForm4();
  ~TForm4() override;
};

extern TForm4* Form4;

}  // namespace dorv::viewer
