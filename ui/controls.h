#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/line_store.h"
#include "ui/types.h"

namespace dorv::ui {

class TForm;

// What changed on a control, for observers (the Qt renderer, tests).
enum class Prop {
  Caption,
  Text,
  Visible,
  Enabled,
  Geometry,
  Items,
  ItemIndex,
  Lines,
  Checked,
  Position,
  Range,
  Font,
  Interval,
  Focus,
};

enum class Kind {
  Label,
  Button,
  Edit,
  ComboBox,
  CheckBox,
  Memo,
  ListBox,
  ProgressBar,
  TrackBar,
  ScrollBar,
  UpDown,
  Image,
  Timer,
  OpenDialog,
  SaveDialog,
  PrintDialog,
  Form,
  Other,
};

const char* KindName(Kind k);

using TNotifyEvent = std::function<void()>;
using TKeyPressEvent = std::function<void(char& key)>;

// Base of everything a form owns: a name, a kind and observers.
class TComponent {
 public:
  TComponent(std::string name, Kind kind) : name_(std::move(name)), kind_(kind) {}
  virtual ~TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return name_; }
  Kind GetKind() const { return kind_; }
  TForm* Owner() const { return owner_; }
  void SetOwner(TForm* f) { owner_ = f; }

  // Observers are told after every change of a property.
  using Observer = std::function<void(TComponent&, Prop)>;
  int AddObserver(Observer o);
  void RemoveObserver(int id);

  // Reads a property by its script name ("Caption", "Items.Count", ...) as
  // text. False when this kind has no such property.
  virtual bool GetProperty(const std::string& prop, std::string& out) const;

 protected:
  void Changed(Prop p);

 private:
  std::string name_;
  Kind kind_;
  TForm* owner_ = nullptr;
  std::vector<std::pair<int, Observer>> observers_;
  int nextObserver_ = 1;
};

// A visible control: geometry, visibility, enabled state, caption or text.
class TControl : public TComponent {
 public:
  using TComponent::TComponent;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int l, int t, int w, int h);
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }

  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);

  const TFont& Font() const { return font_; }
  void SetFont(const TFont& f);

  // Caption of labels, buttons and check boxes; Text of edits and combo boxes
  // (both names reach the same text, as in the toolkit this mirrors).
  const std::string& Caption() const { return text_; }
  virtual void SetCaption(const std::string& s);
  const std::string& Text() const { return text_; }
  void SetText(const std::string& s) { SetCaption(s); }

  // Input focus (recorded only; the front end moves the real focus).
  void SetFocus();
  // Repaints at once (no-op headless: the model is always current).
  void Repaint() {}

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;

  // A user's click or double click (the script runner and the front end).
  virtual void UserClick();
  virtual void UserDblClick();

  bool GetProperty(const std::string& prop, std::string& out) const override;

 protected:
  std::string text_;

 private:
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  TFont font_;
};

class TLabel : public TControl {
 public:
  explicit TLabel(std::string name) : TControl(std::move(name), Kind::Label) {}
  // A label grows with its text unless the design fixes its width; a text
  // too long for a fixed width is shortened where it is shown.
  bool AutoSize = true;
};

class TButton : public TControl {
 public:
  explicit TButton(std::string name) : TControl(std::move(name), Kind::Button) {}
};

class TImage : public TControl {
 public:
  explicit TImage(std::string name) : TControl(std::move(name), Kind::Image) {}
  // The picture, a resource name of the front end's.
  std::string Picture;
};

// Edit box. A program setting Text fires OnChange when the text changes,
// as the toolkit does.
class TEdit : public TControl {
 public:
  explicit TEdit(std::string name, Kind k = Kind::Edit) : TControl(std::move(name), k) {}
  void SetCaption(const std::string& s) override;

  int SelStart() const { return selStart_; }
  int SelLength() const { return selLength_; }
  void SelectAll();
  // A user's keystroke: OnKeyPress may change or discard (set to 0) the key;
  // a kept key replaces the selection. Backspace (8) deletes.
  void UserKey(char key);
  // A user's typing: select all, each byte through UserKey, then the end of
  // typing (OnChange of combo boxes). Multi-byte UTF-8 characters go whole.
  virtual void UserType(const std::string& text);
  // The caret and selection of a window's edit field.
  void SetSelection(int start, int length);
  // A user's typing at the current selection, as a window delivers it: each
  // character through UserKey (multi-byte characters whole), then the change
  // event where this kind fires it.
  void UserInput(const std::string& text);
  // A user's edit that is not typing (the delete key, cut): the new text,
  // then the change event where this kind fires it.
  void UserEdit(const std::string& text);

  TNotifyEvent OnChange;
  TKeyPressEvent OnKeyPress;

 protected:
  // Text set by the user; fires the change event where this kind fires it.
  virtual void UserSetText(const std::string& s);
  virtual void FireUserChange() {}
  int selStart_ = 0, selLength_ = 0;

 private:
  void TypeAtSelection(const std::string& text);
};

// Editable drop-down list. A program setting Text or ItemIndex fires no
// change event; a user's choice or typing does.
class TComboBox : public TEdit {
 public:
  explicit TComboBox(std::string name) : TEdit(std::move(name), Kind::ComboBox) {}
  void SetCaption(const std::string& s) override;

  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  void AddItem(const std::string& s);
  void ClearItems();
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int i);

  // The user picks TEXT (item index follows when it is an item), then OnChange.
  void UserChoose(const std::string& text);

  bool GetProperty(const std::string& prop, std::string& out) const override;

 protected:
  void UserSetText(const std::string& s) override;
  void FireUserChange() override {
    if (OnChange) OnChange();
  }

 private:
  void SyncIndex();
  std::vector<std::string> items_;
  int itemIndex_ = -1;
};

// Check box: setting Checked to a new value fires OnClick, whoever sets it.
class TCheckBox : public TControl {
 public:
  explicit TCheckBox(std::string name) : TControl(std::move(name), Kind::CheckBox) {}
  bool Checked() const { return checked_; }
  void SetChecked(bool v);
  void UserClick() override { SetChecked(!checked_); }
  bool GetProperty(const std::string& prop, std::string& out) const override;

 private:
  bool checked_ = false;
};

// Lines of text. Memo lines are the document's bytes (cp932).
class TMemo : public TControl {
 public:
  explicit TMemo(std::string name) : TControl(std::move(name), Kind::Memo) {}
  // The document's lines, kept in one buffer (see LineStore).
  const LineStore& Lines() const { return lines_; }
  int Count() const { return static_cast<int>(lines_.size()); }
  std::string Line(int i) const { return std::string(lines_.at(i)); }
  void Add(std::string_view line);
  void Clear();
  void SetLines(std::vector<std::string> lines);
  void SetLines(LineStore lines);
  void SetLine(int i, const std::string& s);
  // Many adds announce themselves once, at EndUpdate.
  void BeginUpdate() { ++updating_; }
  void EndUpdate();
  bool GetProperty(const std::string& prop, std::string& out) const override;
  // Counts the changes other than additions at the end (Clear, SetLines,
  // SetLine), so that a view can tell "lines were appended" cheaply.
  uint64_t Replacements() const { return replacements_; }

 private:
  LineStore lines_;
  uint64_t replacements_ = 0;
  int updating_ = 0;
  bool dirty_ = false;
};

class TListBox : public TControl {
 public:
  explicit TListBox(std::string name) : TControl(std::move(name), Kind::ListBox) {}
  const std::vector<std::string>& Items() const { return items_; }
  void AddItem(const std::string& s);
  void ClearItems();
  void SetItems(std::vector<std::string> items);
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int i);
  bool GetProperty(const std::string& prop, std::string& out) const override;

 private:
  std::vector<std::string> items_;
  int itemIndex_ = -1;
};

// Position within [Min, Max]: progress bar, track bar, up-down.
class TRangeControl : public TControl {
 public:
  TRangeControl(std::string name, Kind k) : TControl(std::move(name), k) {}
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  virtual void SetMin(int v);
  virtual void SetMax(int v);
  virtual void SetPosition(int v);
  bool GetProperty(const std::string& prop, std::string& out) const override;
  TNotifyEvent OnChange;

 protected:
  int min_ = 0, max_ = 100, position_ = 0;
};

class TProgressBar : public TRangeControl {
 public:
  explicit TProgressBar(std::string name) : TRangeControl(std::move(name), Kind::ProgressBar) {}
};

class TTrackBar : public TRangeControl {
 public:
  explicit TTrackBar(std::string name) : TRangeControl(std::move(name), Kind::TrackBar) {
    max_ = 10;
  }
};

class TUpDown : public TRangeControl {
 public:
  explicit TUpDown(std::string name) : TRangeControl(std::move(name), Kind::UpDown) {}
  std::string Associate;  // name of the edit it steps, if any
};

// Scroll bar: SetParams refuses a range it cannot hold with
// "スクロールバー プロパティが範囲を越えました"; a new position fires OnChange.
class TScrollBar : public TRangeControl {
 public:
  explicit TScrollBar(std::string name) : TRangeControl(std::move(name), Kind::ScrollBar) {}
  void SetParams(int position, int min, int max);
  void SetMin(int v) override { SetParams(position_, v, max_); }
  void SetMax(int v) override { SetParams(position_, min_, v); }
  void SetPosition(int v) override { SetParams(v, min_, max_); }
  int PageSize() const { return pageSize_; }
  void SetPageSize(int v);

 private:
  int pageSize_ = 0;
};

// Periodic timer; Interval 0 (or Enabled false) means stopped. Runs on the
// user-interface thread's loop.
class TTimer : public TComponent {
 public:
  explicit TTimer(std::string name) : TComponent(std::move(name), Kind::Timer) {}
  ~TTimer() override;
  int Interval() const { return interval_; }
  void SetInterval(int ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  void SetOnTimer(TNotifyEvent fn);
  void Fire();  // called by the loop
  bool GetProperty(const std::string& prop, std::string& out) const override;

 private:
  void Reschedule();
  int interval_ = 1000;
  bool enabled_ = true;
  TNotifyEvent onTimer_;
};

}  // namespace dorv::ui
