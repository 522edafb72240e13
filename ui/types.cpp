#include "ui/types.h"

namespace dorv::ui {

TColor ResolveColor(TColor c) {
  if (!IsSystemColor(c)) return c & 0xFFFFFF;
  switch (c) {
    case clWindow:
      return clWhite;
    case clWindowText:
      return clBlack;
    case clHighlight:
      return RGB(0, 120, 215);
    case clBtnFace:
      return RGB(240, 240, 240);
    case clGrayText:
      return RGB(109, 109, 109);
    case cl3DDkShadow:
      return RGB(105, 105, 105);
    default:
      return clBlack;
  }
}

}  // namespace dorv::ui
