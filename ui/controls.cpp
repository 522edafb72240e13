#include "ui/controls.h"

#include <algorithm>

#include "ui/event_loop.h"
#include "ui/exceptions.h"
#include "ui/text.h"

namespace dorv::ui {

const char* KindName(Kind k) {
  switch (k) {
    case Kind::Label:
      return "TLabel";
    case Kind::Button:
      return "TButton";
    case Kind::Edit:
      return "TEdit";
    case Kind::ComboBox:
      return "TComboBox";
    case Kind::CheckBox:
      return "TCheckBox";
    case Kind::Memo:
      return "TMemo";
    case Kind::ListBox:
      return "TListBox";
    case Kind::ProgressBar:
      return "TProgressBar";
    case Kind::TrackBar:
      return "TTrackBar";
    case Kind::ScrollBar:
      return "TScrollBar";
    case Kind::UpDown:
      return "TUpDown";
    case Kind::Image:
      return "TImage";
    case Kind::Timer:
      return "TTimer";
    case Kind::OpenDialog:
      return "TOpenDialog";
    case Kind::SaveDialog:
      return "TSaveDialog";
    case Kind::PrintDialog:
      return "TPrintDialog";
    case Kind::Form:
      return "TForm";
    case Kind::Other:
      return "TComponent";
  }
  return "TComponent";
}

namespace {
const char* Bool(bool b) {
  return b ? "true" : "false";
}

// "Items[3]" -> 3; -1 when the text is not of that form.
int IndexOf(const std::string& prop, const std::string& head) {
  if (prop.rfind(head + "[", 0) != 0 || prop.back() != ']') return -1;
  int v = 0;
  std::string digits = prop.substr(head.size() + 1, prop.size() - head.size() - 2);
  if (digits.empty() || !TryStrToInt(digits, v) || v < 0) return -1;
  return v;
}

template <class Lines>
bool ListProperty(const Lines& items, const std::string& head, const std::string& prop,
                  std::string& out, bool cp932) {
  if (prop == head + ".Count") {
    out = std::to_string(items.size());
    return true;
  }
  int i = IndexOf(prop, head);
  if (i < 0) return false;
  if (i >= static_cast<int>(items.size())) {
    out.clear();
    return true;
  }
  out = cp932 ? Cp932ToUtf8Escaped(items[i]) : std::string(items[i]);
  return true;
}
}  // namespace

// ---- TComponent ----

int TComponent::AddObserver(Observer o) {
  observers_.emplace_back(nextObserver_, std::move(o));
  return nextObserver_++;
}

void TComponent::RemoveObserver(int id) {
  std::erase_if(observers_, [id](auto& p) { return p.first == id; });
}

void TComponent::Changed(Prop p) {
  // Copy: an observer may add or remove observers.
  auto copy = observers_;
  for (auto& [id, fn] : copy) fn(*this, p);
}

bool TComponent::GetProperty(const std::string& prop, std::string& out) const {
  if (prop == "Name") {
    out = name_;
    return true;
  }
  return false;
}

// ---- TControl ----

void TControl::SetBounds(int l, int t, int w, int h) {
  if (l == left_ && t == top_ && w == width_ && h == height_) return;
  left_ = l;
  top_ = t;
  width_ = w;
  height_ = h;
  Changed(Prop::Geometry);
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  Changed(Prop::Visible);
}

void TControl::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Changed(Prop::Enabled);
}

void TControl::SetFont(const TFont& f) {
  if (f == font_) return;
  font_ = f;
  Changed(Prop::Font);
}

void TControl::SetCaption(const std::string& s) {
  if (s == text_) return;
  text_ = s;
  Changed(Prop::Caption);
}

void TControl::SetFocus() {
  Changed(Prop::Focus);
}

void TControl::UserClick() {
  if (OnClick) OnClick();
}

void TControl::UserDblClick() {
  // A double click is a click followed by the double-click event.
  if (OnDblClick) OnDblClick();
}

bool TControl::GetProperty(const std::string& prop, std::string& out) const {
  if (prop == "Caption" || prop == "Text") {
    out = text_;
  } else if (prop == "Visible") {
    out = Bool(visible_);
  } else if (prop == "Enabled") {
    out = Bool(enabled_);
  } else if (prop == "Left") {
    out = std::to_string(left_);
  } else if (prop == "Top") {
    out = std::to_string(top_);
  } else if (prop == "Width") {
    out = std::to_string(width_);
  } else if (prop == "Height") {
    out = std::to_string(height_);
  } else {
    return TComponent::GetProperty(prop, out);
  }
  return true;
}

// ---- TEdit ----

void TEdit::SetCaption(const std::string& s) {
  if (s == text_) return;  // the same text leaves the selection alone
  text_ = s;
  selStart_ = static_cast<int>(text_.size());
  selLength_ = 0;
  Changed(Prop::Text);
  if (OnChange) OnChange();
}

void TEdit::UserSetText(const std::string& s) {
  TEdit::SetCaption(s);
}

void TEdit::SelectAll() {
  selStart_ = 0;
  selLength_ = static_cast<int>(text_.size());
}

void TEdit::UserKey(char key) {
  if (OnKeyPress) OnKeyPress(key);
  if (key == 0) return;
  int start = std::clamp(selStart_, 0, static_cast<int>(text_.size()));
  int len = std::clamp(selLength_, 0, static_cast<int>(text_.size()) - start);
  std::string t = text_;
  if (key == 8) {
    if (len > 0) {
      t.erase(start, len);
    } else if (start > 0) {
      t.erase(start - 1, 1);
      --start;
    }
  } else {
    t.replace(start, len, 1, key);
    ++start;
  }
  UserSetText(t);
  selStart_ = start;
  selLength_ = 0;
}

void TEdit::UserType(const std::string& text) {
  SelectAll();
  TypeAtSelection(text);
  FireUserChange();
}

void TEdit::SetSelection(int start, int length) {
  selStart_ = std::clamp(start, 0, static_cast<int>(text_.size()));
  selLength_ = std::clamp(length, 0, static_cast<int>(text_.size()) - selStart_);
}

void TEdit::UserInput(const std::string& text) {
  TypeAtSelection(text);
  FireUserChange();
}

void TEdit::UserEdit(const std::string& text) {
  UserSetText(text);
  FireUserChange();
}

void TEdit::TypeAtSelection(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
    if (len == 1) {
      UserKey(text[i]);
    } else {
      // A multi-byte character is not a key the handlers filter on: its first
      // byte goes through the key handler and, if kept, the whole character
      // replaces the selection.
      char key = text[i];
      if (OnKeyPress) OnKeyPress(key);
      if (key != 0) {
        int start = std::clamp(selStart_, 0, static_cast<int>(text_.size()));
        int sel = std::clamp(selLength_, 0, static_cast<int>(text_.size()) - start);
        std::string t = text_;
        t.replace(start, sel, text.substr(i, len));
        UserSetText(t);
        selStart_ = start + static_cast<int>(len);
        selLength_ = 0;
      }
    }
    i += len;
  }
}

// ---- TComboBox ----

void TComboBox::SyncIndex() {
  auto it = std::find(items_.begin(), items_.end(), text_);
  int idx = it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
  if (idx != itemIndex_) {
    itemIndex_ = idx;
    Changed(Prop::ItemIndex);
  }
}

void TComboBox::SetCaption(const std::string& s) {
  if (s == text_) return;
  text_ = s;
  selStart_ = static_cast<int>(text_.size());
  selLength_ = 0;
  SyncIndex();
  Changed(Prop::Text);
}

void TComboBox::UserSetText(const std::string& s) {
  TComboBox::SetCaption(s);
}

void TComboBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  Changed(Prop::Items);
  SyncIndex();
}

void TComboBox::AddItem(const std::string& s) {
  items_.push_back(s);
  Changed(Prop::Items);
  if (itemIndex_ < 0 && s == text_) SyncIndex();
}

void TComboBox::ClearItems() {
  items_.clear();
  Changed(Prop::Items);
  SyncIndex();
}

void TComboBox::SetItemIndex(int i) {
  if (i < -1 || i >= static_cast<int>(items_.size())) i = -1;
  itemIndex_ = i;
  std::string t = i >= 0 ? items_[i] : std::string();
  if (t != text_) {
    text_ = t;
    Changed(Prop::Text);
  }
  Changed(Prop::ItemIndex);
}

void TComboBox::UserChoose(const std::string& text) {
  SetCaption(text);
  SyncIndex();
  if (OnChange) OnChange();
}

bool TComboBox::GetProperty(const std::string& prop, std::string& out) const {
  if (prop == "ItemIndex") {
    out = std::to_string(itemIndex_);
    return true;
  }
  if (ListProperty(items_, "Items", prop, out, false)) return true;
  return TEdit::GetProperty(prop, out);
}

// ---- TCheckBox ----

void TCheckBox::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  Changed(Prop::Checked);
  if (OnClick) OnClick();
}

bool TCheckBox::GetProperty(const std::string& prop, std::string& out) const {
  if (prop == "Checked") {
    out = Bool(checked_);
    return true;
  }
  return TControl::GetProperty(prop, out);
}

// ---- TMemo ----

void TMemo::Add(std::string_view line) {
  lines_.PushBack(line);
  if (updating_)
    dirty_ = true;
  else
    Changed(Prop::Lines);
}

void TMemo::Clear() {
  if (lines_.empty()) return;
  lines_.Clear();
  ++replacements_;
  if (updating_)
    dirty_ = true;
  else
    Changed(Prop::Lines);
}

void TMemo::SetLines(std::vector<std::string> lines) {
  lines_.Assign(lines);
  ++replacements_;
  if (updating_)
    dirty_ = true;
  else
    Changed(Prop::Lines);
}

void TMemo::SetLines(LineStore lines) {
  lines_ = std::move(lines);
  ++replacements_;
  if (updating_)
    dirty_ = true;
  else
    Changed(Prop::Lines);
}

void TMemo::SetLine(int i, const std::string& s) {
  lines_.Set(static_cast<size_t>(i), s);
  ++replacements_;
  if (updating_)
    dirty_ = true;
  else
    Changed(Prop::Lines);
}

void TMemo::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0 && dirty_) {
    dirty_ = false;
    Changed(Prop::Lines);
  }
}

bool TMemo::GetProperty(const std::string& prop, std::string& out) const {
  if (ListProperty(lines_, "Lines", prop, out, true)) return true;
  if (prop == "Text") {
    out.clear();
    for (std::string_view l : lines_) out += Cp932ToUtf8Escaped(l) + "\r\n";
    return true;
  }
  return TControl::GetProperty(prop, out);
}

// ---- TListBox ----

void TListBox::AddItem(const std::string& s) {
  items_.push_back(s);
  Changed(Prop::Items);
}

void TListBox::ClearItems() {
  items_.clear();
  itemIndex_ = -1;
  Changed(Prop::Items);
}

void TListBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  itemIndex_ = -1;
  Changed(Prop::Items);
}

void TListBox::SetItemIndex(int i) {
  if (i < -1 || i >= static_cast<int>(items_.size())) i = -1;
  itemIndex_ = i;
  Changed(Prop::ItemIndex);
}

bool TListBox::GetProperty(const std::string& prop, std::string& out) const {
  if (prop == "ItemIndex") {
    out = std::to_string(itemIndex_);
    return true;
  }
  if (ListProperty(items_, "Items", prop, out, false)) return true;
  return TControl::GetProperty(prop, out);
}

// ---- TRangeControl ----

void TRangeControl::SetMin(int v) {
  min_ = v;
  if (max_ < min_) max_ = min_;
  Changed(Prop::Range);
  SetPosition(position_);
}

void TRangeControl::SetMax(int v) {
  max_ = v;
  if (min_ > max_) min_ = max_;
  Changed(Prop::Range);
  SetPosition(position_);
}

void TRangeControl::SetPosition(int v) {
  v = std::clamp(v, min_, max_);
  if (v == position_) return;
  position_ = v;
  Changed(Prop::Position);
  if (OnChange) OnChange();
}

bool TRangeControl::GetProperty(const std::string& prop, std::string& out) const {
  if (prop == "Position") {
    out = std::to_string(position_);
  } else if (prop == "Min") {
    out = std::to_string(min_);
  } else if (prop == "Max") {
    out = std::to_string(max_);
  } else {
    return TControl::GetProperty(prop, out);
  }
  return true;
}

// ---- TScrollBar ----

void TScrollBar::SetParams(int position, int min, int max) {
  if (max < min || max < pageSize_)
    throw EInvalidOperation("スクロールバー プロパティが範囲を越えました");
  position = std::clamp(position, min, max);
  bool rangeChanged = min != min_ || max != max_;
  min_ = min;
  max_ = max;
  if (rangeChanged) Changed(Prop::Range);
  if (position != position_) {
    position_ = position;
    Changed(Prop::Position);
    if (OnChange) OnChange();
  }
}

void TScrollBar::SetPageSize(int v) {
  if (v < 0 || v > max_ - min_ + 1)
    throw EInvalidOperation("スクロールバー プロパティが範囲を越えました");
  pageSize_ = v;
  Changed(Prop::Range);
}

// ---- TTimer ----

TTimer::~TTimer() {
  if (auto* loop = EventLoop::Current()) loop->CancelTimer(this);
}

void TTimer::Reschedule() {
  if (auto* loop = EventLoop::Current())
    loop->ScheduleTimer(this, (enabled_ && onTimer_) ? interval_ : 0);
  Changed(Prop::Interval);
}

void TTimer::SetInterval(int ms) {
  if (ms < 0) ms = 0;
  if (ms == interval_) return;
  interval_ = ms;
  Reschedule();
}

void TTimer::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Reschedule();
}

void TTimer::SetOnTimer(TNotifyEvent fn) {
  onTimer_ = std::move(fn);
  Reschedule();
}

void TTimer::Fire() {
  if (enabled_ && interval_ > 0 && onTimer_) onTimer_();
}

bool TTimer::GetProperty(const std::string& prop, std::string& out) const {
  if (prop == "Interval") {
    out = std::to_string(interval_);
  } else if (prop == "Enabled") {
    out = enabled_ ? "true" : "false";
  } else {
    return TComponent::GetProperty(prop, out);
  }
  return true;
}

}  // namespace dorv::ui
