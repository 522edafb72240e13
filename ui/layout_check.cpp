#include "ui/layout_check.h"

#include <algorithm>

#include "ui/controls.h"

namespace dorv::ui {

namespace {

// Room that a control's own drawing takes beside its text: a button's
// border, a check box's box and gap, a combo box's arrow, an edit's frame.
int Chrome(Kind kind) {
  switch (kind) {
    case Kind::Button:
      return 8;
    case Kind::CheckBox:
      return 18;
    case Kind::ComboBox:
      return 22;
    case Kind::Edit:
      return 6;
    default:
      return 0;
  }
}

bool Shown(const TControl& c) {
  switch (c.GetKind()) {
    case Kind::Timer:
    case Kind::OpenDialog:
    case Kind::SaveDialog:
    case Kind::PrintDialog:
    case Kind::Form:
    case Kind::Other:
      return false;
    default:
      return c.Visible() && c.Width() > 0 && c.Height() > 0;
  }
}

std::string Where(const TForm& form, const TControl& c) {
  return form.Name() + "." + c.Name() + " (" + std::to_string(c.Left()) + "," +
         std::to_string(c.Top()) + " " + std::to_string(c.Width()) + "x" +
         std::to_string(c.Height()) + ")";
}

}  // namespace

std::vector<std::string> LayoutFaults(const TForm& form, const TextWidthFn& textWidth) {
  std::vector<std::string> faults;
  const int cw = form.ClientWidth(), ch = form.ClientHeight();
  struct Placed {
    const TControl* c;
    int width;  // as shown
  };
  std::vector<Placed> inside;
  for (auto& component : form.Components()) {
    auto* c = dynamic_cast<const TControl*>(component.get());
    if (!c || !Shown(*c)) continue;
    // A label that grows with its text takes the text's width; one of a
    // fixed width shortens what does not fit.
    auto* label = dynamic_cast<const TLabel*>(c);
    if (label && label->AutoSize && c->Caption().empty()) continue;
    const int width = label && label->AutoSize ? textWidth(c->Font(), c->Caption()) : c->Width();
    const int right = c->Left() + width, bottom = c->Top() + c->Height();
    // Wholly outside the client area: not shown in this state (the designs
    // keep controls below the window's height for a panel that opens).
    if (c->Left() >= cw || c->Top() >= ch) continue;
    if (c->Left() < 0 || c->Top() < 0 || right > cw || bottom > ch) {
      faults.push_back(Where(form, *c) + " is cut by the window's edge (client area " +
                       std::to_string(cw) + "x" + std::to_string(ch) + ")");
      continue;
    }
    inside.push_back({c, width});
    if (label) continue;
    // The texts it shows: its caption, and a combo box's items.
    std::vector<std::string> texts{c->Caption()};
    if (auto* combo = dynamic_cast<const TComboBox*>(c))
      texts.insert(texts.end(), combo->Items().begin(), combo->Items().end());
    if (c->GetKind() == Kind::Memo || c->GetKind() == Kind::ListBox) texts.clear();
    for (auto& text : texts) {
      if (text.empty()) continue;
      const int need = textWidth(c->Font(), text) + Chrome(c->GetKind());
      if (need > c->Width())
        faults.push_back(Where(form, *c) + ": \"" + text + "\" needs " + std::to_string(need) +
                         " pixels");
    }
  }
  // Neighbours that overlap; a picture may carry what is drawn over it.
  for (size_t i = 0; i < inside.size(); ++i)
    for (size_t j = i + 1; j < inside.size(); ++j) {
      const TControl &a = *inside[i].c, &b = *inside[j].c;
      const int aw = inside[i].width, bw = inside[j].width;
      if (a.GetKind() == Kind::Image || b.GetKind() == Kind::Image) continue;
      if (a.Left() < b.Left() + bw && b.Left() < a.Left() + aw && a.Top() < b.Top() + b.Height() &&
          b.Top() < a.Top() + a.Height())
        faults.push_back(Where(form, a) + " overlaps " + Where(form, b));
    }
  return faults;
}

}  // namespace dorv::ui
