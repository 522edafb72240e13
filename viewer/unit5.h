#pragma once
#include "ui/form.h"

namespace dorv::viewer {

class TForm5 : public ui::TForm {
 public:
  TForm5();
  ~TForm5() override;
};

extern TForm5* Form5;

}  // namespace dorv::viewer
