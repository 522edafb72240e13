#pragma once
#include "ui/form.h"

namespace dorv::viewer {

class TForm3 : public ui::TForm {
 public:
  TForm3();
  ~TForm3() override;
};

extern TForm3* Form3;

}  // namespace dorv::viewer
