#pragma once
#include "ui/form.h"

namespace dorv::viewer {

class TForm2 : public ui::TForm {
 public:
  TForm2();
  ~TForm2() override;
};

extern TForm2* Form2;

}  // namespace dorv::viewer
