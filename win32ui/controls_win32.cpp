// The native windows of the toolkit's controls: one view class per kind.

#include <algorithm>
#include <memory>
#include <string_view>

#include "resources/resources.h"
#include "ui/application.h"
#include "ui/text.h"
#include "win32ui/canvas_win32.h"
#include "win32ui/form_window_win32.h"
#include "win32ui/picture_win32.h"
#include "win32ui/text_win32.h"
#include "win32ui/win32.h"

namespace dorv::win32ui {

using ui::Prop;

namespace {

std::function<void()>& AfterUserAction() {
  static std::function<void()> hook;
  return hook;
}

HWND MakeChild(const wchar_t* cls, DWORD style, DWORD exStyle, HWND parent, int id) {
  return CreateWindowExW(exStyle, cls, L"", WS_CHILD | style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleW(nullptr), nullptr);
}

std::wstring WindowText(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(hwnd, s.data(), n + 1);
  s.resize(static_cast<size_t>(n));
  return s;
}

// UTF-8 byte offsets of the model and UTF-16 indexes of the window.
int ByteOffset(const std::wstring& s, int index) {
  return static_cast<int>(
      U8(std::wstring_view(s).substr(0, std::clamp<size_t>(index, 0, s.size()))).size());
}
int CharIndex(const std::string& utf8, int bytes) {
  bytes = std::clamp(bytes, 0, static_cast<int>(utf8.size()));
  return static_cast<int>(W(std::string_view(utf8).substr(0, bytes)).size());
}

// ---- Labels and pictures

class LabelView : public ControlView {
 public:
  LabelView(ui::TLabel& m, HWND parent, int id)
      : ControlView(m, MakeChild(L"STATIC",
                                 SS_NOTIFY | SS_LEFTNOWORDWRAP | SS_NOPREFIX |
                                     (m.AutoSize ? 0 : SS_ENDELLIPSIS),
                                 0, parent, id)) {
    Attach();
  }
  void OnCommand(int code) override {
    if (code == STN_CLICKED) RunUserAction([this] { Model().UserClick(); });
    if (code == STN_DBLCLK) RunUserAction([this] { Model().UserDblClick(); });
  }
  HBRUSH OnColor(HDC dc) override {
    ui::TForm* form = Model().Owner();
    ui::TColor back = form ? form->Color() : ui::clBtnFace;
    SetTextColor(dc, ToColorRef(Model().Font().Color));
    SetBkColor(dc, ToColorRef(back));
    return BrushFor(back);
  }

 protected:
  void Sync(Prop p) override {
    if (p == Prop::Caption) {
      SetWindowTextW(Handle(), W(Model().Caption()).c_str());
      ControlView::Sync(Prop::Geometry);  // the label grows with its text
    }
    if (p == Prop::Font) {
      ControlView::Sync(p);
      ControlView::Sync(Prop::Geometry);
      return;
    }
    ControlView::Sync(p);
  }
  // A label sizes itself to its text unless the design fixes its width.
  RECT Bounds() const override {
    RECT r = ControlView::Bounds();
    auto& label = static_cast<const ui::TLabel&>(Model());
    if (!label.AutoSize) return r;
    std::wstring text = W(Model().Caption());
    HDC dc = GetDC(Handle());
    HGDIOBJ old = SelectObject(dc, FontFor(Model().Font()));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(Handle(), dc);
    r.right = r.left + (text.empty() ? 0 : size.cx);
    r.bottom = r.top + tm.tmHeight;
    return r;
  }
};

class ImageView : public ControlView {
 public:
  ImageView(ui::TImage& m, HWND parent, int id)
      : ControlView(m, MakeChild(L"STATIC", SS_NOTIFY | SS_BITMAP, 0, parent, id)) {
    // The picture is a resource of the program: the design's picture name,
    // else the control's own name.
    std::string name = m.Picture.empty() ? m.Name() : m.Picture;
    if (name.find('.') == std::string::npos) name += ".png";
    std::string_view data;
    if (resources::Find("images/" + name, data)) bitmap_ = BitmapFromPng(data);
    if (bitmap_)
      SendMessageW(Handle(), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_));
    Attach();
  }
  ~ImageView() override {
    if (bitmap_) DeleteObject(bitmap_);
  }
  void OnCommand(int code) override {
    if (code == STN_CLICKED) RunUserAction([this] { Model().UserClick(); });
    if (code == STN_DBLCLK) RunUserAction([this] { Model().UserDblClick(); });
  }

 private:
  void Sync(Prop p) override {
    if (p != Prop::Caption) ControlView::Sync(p);  // a text would replace the picture
  }
  HBITMAP bitmap_ = nullptr;
};

// ---- Buttons and check boxes

class ButtonView : public ControlView {
 public:
  ButtonView(ui::TButton& m, HWND parent, int id)
      : ControlView(m, MakeChild(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, parent, id)) {
    Attach();
  }
  void OnCommand(int code) override {
    if (code == BN_CLICKED) RunUserAction([this] { Model().UserClick(); });
  }

 private:
  void Sync(Prop p) override {
    if (p == Prop::Caption) SetWindowTextW(Handle(), W(Model().Caption()).c_str());
    ControlView::Sync(p);
  }
};

// A check box whose state only the model changes: a click asks the model to
// toggle, which fires its click event, and the box then shows the new state.
class CheckBoxView : public ControlView {
 public:
  CheckBoxView(ui::TCheckBox& m, HWND parent, int id)
      : ControlView(m, MakeChild(L"BUTTON", BS_CHECKBOX | WS_TABSTOP, 0, parent, id)), model_(m) {
    Attach();
  }
  void OnCommand(int code) override {
    if (code != BN_CLICKED || Syncing()) return;
    RunUserAction([this] { model_.UserClick(); });
    Update(Prop::Checked);
  }
  HBRUSH OnColor(HDC dc) override {
    ui::TForm* form = model_.Owner();
    ui::TColor back = form ? form->Color() : ui::clBtnFace;
    SetTextColor(dc, ToColorRef(model_.Font().Color));
    SetBkColor(dc, ToColorRef(back));
    return BrushFor(back);
  }

 private:
  void Sync(Prop p) override {
    if (p == Prop::Caption) SetWindowTextW(Handle(), W(model_.Caption()).c_str());
    if (p == Prop::Checked)
      SendMessageW(Handle(), BM_SETCHECK, model_.Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    ControlView::Sync(p);
  }
  ui::TCheckBox& model_;
};

// ---- Edit fields

// An edit field whose text only the model changes: typed characters go
// through the model's key handling (which may discard them), other edits
// (delete, cut, paste) through the model's user edit; the model's text then
// comes back to the field.
class ModelEdit {
 public:
  ModelEdit(ui::TEdit& model, HWND edit) : model_(model), edit_(edit) {
    SetWindowSubclass(edit_, &ModelEdit::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  ~ModelEdit() { RemoveWindowSubclass(edit_, &ModelEdit::Proc, 1); }

  // Shows the model's text, and its caret and selection while the field has
  // the focus.
  void ShowModel() {
    const std::string& text = model_.Text();
    ++showing_;
    if (U8(WindowText(edit_)) != text) SetWindowTextW(edit_, W(text).c_str());
    if (GetFocus() == edit_) {
      int start = CharIndex(text, model_.SelStart());
      int end = CharIndex(text, model_.SelStart() + model_.SelLength());
      SendMessageW(edit_, EM_SETSEL, start, end);
    }
    --showing_;
  }
  // The field's text changed by something other than typing.
  void Changed() {
    if (showing_) return;
    std::wstring shown = WindowText(edit_);
    std::string text = U8(shown);
    if (text == model_.Text()) return;
    DWORD start = 0, end = 0;
    SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    RunUserAction([&] {
      model_.UserEdit(text);
      model_.SetSelection(ByteOffset(shown, static_cast<int>(end)), 0);
    });
    ShowModel();
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                               DWORD_PTR data) {
    auto* self = reinterpret_cast<ModelEdit*>(data);
    if (msg == WM_CHAR) {
      wchar_t c = static_cast<wchar_t>(wp);
      if (c == L'\r' || c == L'\n' || c == 27) return 0;
      if (c == 8) {
        self->Type("\b");
        return 0;
      }
      if (c >= 0x20 && !(c >= 0xD800 && c <= 0xDFFF)) {
        self->Type(U8(std::wstring(1, c)));
        return 0;
      }
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
  void Type(const std::string& text) {
    std::wstring shown = WindowText(edit_);
    DWORD start = 0, end = 0;
    SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    RunUserAction([&] {
      int s = ByteOffset(shown, static_cast<int>(start));
      model_.SetSelection(s, ByteOffset(shown, static_cast<int>(end)) - s);
      model_.UserInput(text);
    });
    ShowModel();
  }

  ui::TEdit& model_;
  HWND edit_;
  int showing_ = 0;
};

class EditView : public ControlView {
 public:
  EditView(ui::TEdit& m, HWND parent, int id)
      : ControlView(m,
                    MakeChild(L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, parent, id)),
        edit_(m, Handle()) {
    Attach();
  }
  void OnCommand(int code) override {
    if (code == EN_CHANGE && !Syncing()) edit_.Changed();
  }

 private:
  void Sync(Prop p) override {
    if (p == Prop::Text || p == Prop::Caption) edit_.ShowModel();
    ControlView::Sync(p);
  }
  ModelEdit edit_;
};

// An editable drop-down list: choosing an item is the user's choice; typing
// goes through the model as in an edit field.
class ComboBoxView : public ControlView {
 public:
  ComboBoxView(ui::TComboBox& m, HWND parent, int id)
      : ControlView(
            m, MakeChild(L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0,
                         parent, id)),
        model_(m) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    GetComboBoxInfo(Handle(), &info);
    edit_ = std::make_unique<ModelEdit>(m, info.hwndItem ? info.hwndItem : Handle());
    Attach();
  }
  void OnCommand(int code) override {
    if (Syncing()) return;
    if (code == CBN_SELCHANGE) {
      int index = static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0));
      if (index < 0 || index >= static_cast<int>(model_.Items().size())) return;
      std::string text = model_.Items()[static_cast<size_t>(index)];
      RunUserAction([&] { model_.UserChoose(text); });
      // The box sets its field after this notification: the model's text
      // goes back once it has.
      PostMessageW(GetParent(Handle()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Handle()), kResync),
                   reinterpret_cast<LPARAM>(Handle()));
    } else if (code == kResync) {
      Update(Prop::Text);
    } else if (code == CBN_EDITCHANGE) {
      edit_->Changed();
    }
  }

 private:
  static constexpr int kResync = 0x7F00;
  void Sync(Prop p) override {
    if (p == Prop::Items || p == Prop::ItemIndex || p == Prop::Text || p == Prop::Caption) {
      if (p == Prop::Items) {
        SendMessageW(Handle(), CB_RESETCONTENT, 0, 0);
        for (auto& s : model_.Items())
          SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(s).c_str()));
      }
      if (SendMessageW(Handle(), CB_GETCURSEL, 0, 0) != model_.ItemIndex())
        SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(model_.ItemIndex()), 0);
      edit_->ShowModel();
    }
    ControlView::Sync(p);
  }
  // The drop-down list's height is part of the window's.
  RECT Bounds() const override {
    RECT r = ControlView::Bounds();
    r.bottom = r.top + 16 * 16 + 4;
    return r;
  }
  ui::TComboBox& model_;
  std::unique_ptr<ModelEdit> edit_;
};

// ---- Memo and list box

// The document's lines are cp932 bytes, converted for display only. A change
// is shown at the next turn of the loop, so that many single additions cost
// one refresh; lines added at the end are appended.
class MemoView : public ControlView {
 public:
  MemoView(ui::TMemo& m, HWND parent, int id)
      : ControlView(m, MakeChild(L"EDIT",
                                 ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                                     WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
                                 WS_EX_CLIENTEDGE, parent, id)),
        model_(m) {
    SendMessageW(Handle(), EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    Attach();
  }
  HBRUSH OnColor(HDC dc) override {
    // A read-only field is drawn as a window's text, not greyed.
    SetTextColor(dc, ToColorRef(model_.Font().Color));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return GetSysColorBrush(COLOR_WINDOW);
  }

 private:
  void Sync(Prop p) override {
    ControlView::Sync(p);
    if (p == Prop::Lines || (p == Prop::Visible && pending_)) {
      pending_ = true;
      if (!model_.Visible() || scheduled_) return;
      if (auto* app = ui::Application()) {
        scheduled_ = true;
        app->Loop().PostIdle([this, alive = std::weak_ptr<bool>(alive_)] {
          if (alive.lock()) Refresh();
        });
      }
    }
  }
  void Refresh() {
    scheduled_ = false;
    if (!model_.Visible()) return;
    pending_ = false;
    const auto& lines = model_.Lines();
    const bool appended =
        model_.Replacements() == shownReplacements_ && lines.size() >= shownCount_;
    std::wstring text;
    size_t from = appended ? shownCount_ : 0;
    for (size_t i = from; i < lines.size(); ++i) {
      if (i > 0) text += L"\r\n";
      text += W(ui::Cp932ToUtf8(lines[i]));
    }
    ++updating_;
    if (appended && shownCount_ > 0) {
      if (!text.empty()) {
        int length = GetWindowTextLengthW(Handle());
        SendMessageW(Handle(), EM_SETSEL, length, length);
        SendMessageW(Handle(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(Handle(), EM_SCROLLCARET, 0, 0);
      }
    } else {
      SetWindowTextW(Handle(), text.c_str());
    }
    --updating_;
    shownCount_ = lines.size();
    shownReplacements_ = model_.Replacements();
  }
  ui::TMemo& model_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  size_t shownCount_ = 0;
  uint64_t shownReplacements_ = 0;
  bool pending_ = false;
  bool scheduled_ = false;
  int updating_ = 0;
};

class ListBoxView : public ControlView {
 public:
  ListBoxView(ui::TListBox& m, HWND parent, int id)
      : ControlView(
            m, MakeChild(L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
                         WS_EX_CLIENTEDGE, parent, id)),
        model_(m) {
    Attach();
  }
  void OnCommand(int code) override {
    if (Syncing()) return;
    if (code == LBN_SELCHANGE) {
      int row = static_cast<int>(SendMessageW(Handle(), LB_GETCURSEL, 0, 0));
      if (row == model_.ItemIndex()) return;
      RunUserAction([&] {
        model_.SetItemIndex(row);
        model_.UserClick();
      });
      Update(Prop::ItemIndex);
    } else if (code == LBN_DBLCLK) {
      RunUserAction([this] { model_.UserDblClick(); });
    }
  }

 private:
  void Sync(Prop p) override {
    if (p == Prop::Items) {
      SendMessageW(Handle(), LB_RESETCONTENT, 0, 0);
      for (auto& s : model_.Items())
        SendMessageW(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(s).c_str()));
    }
    if (p == Prop::Items || p == Prop::ItemIndex)
      SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(model_.ItemIndex()), 0);
    ControlView::Sync(p);
  }
  ui::TListBox& model_;
};

// ---- Controls with a position in a range

bool Vertical(const ui::TControl& c) {
  return c.Height() > c.Width();
}

class ProgressView : public ControlView {
 public:
  ProgressView(ui::TRangeControl& m, HWND parent, int id)
      : ControlView(m, MakeChild(PROGRESS_CLASSW, Vertical(m) ? PBS_VERTICAL : 0, 0, parent, id)),
        model_(m) {
    Attach();
  }

 private:
  void Sync(Prop p) override {
    if (p == Prop::Range || p == Prop::Position) {
      SendMessageW(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(model_.Min()), model_.Max());
      SendMessageW(Handle(), PBM_SETPOS, static_cast<WPARAM>(model_.Position()), 0);
    }
    ControlView::Sync(p);
  }
  ui::TRangeControl& model_;
};

class TrackBarView : public ControlView {
 public:
  TrackBarView(ui::TRangeControl& m, HWND parent, int id)
      : ControlView(m, MakeChild(TRACKBAR_CLASSW,
                                 (Vertical(m) ? TBS_VERT : TBS_HORZ) | TBS_AUTOTICKS | WS_TABSTOP,
                                 0, parent, id)),
        model_(m) {
    Attach();
  }
  void OnScroll(int) override {
    if (Syncing()) return;
    int v = static_cast<int>(SendMessageW(Handle(), TBM_GETPOS, 0, 0));
    if (v == model_.Position()) return;
    RunUserAction([&] { model_.SetPosition(v); });
    Update(Prop::Position);
  }

 private:
  void Sync(Prop p) override {
    if (p == Prop::Range || p == Prop::Position) {
      SendMessageW(Handle(), TBM_SETRANGEMIN, FALSE, model_.Min());
      SendMessageW(Handle(), TBM_SETRANGEMAX, FALSE, model_.Max());
      SendMessageW(Handle(), TBM_SETTICFREQ, std::max(1, (model_.Max() - model_.Min()) / 20), 0);
      SendMessageW(Handle(), TBM_SETPAGESIZE, 0, std::max(1, (model_.Max() - model_.Min()) / 5));
      SendMessageW(Handle(), TBM_SETPOS, TRUE, model_.Position());
    }
    ControlView::Sync(p);
  }
  ui::TRangeControl& model_;
};

class ScrollBarView : public ControlView {
 public:
  ScrollBarView(ui::TScrollBar& m, HWND parent, int id)
      : ControlView(m, MakeChild(L"SCROLLBAR", Vertical(m) ? SBS_VERT : SBS_HORZ, 0, parent, id)),
        model_(m) {
    Attach();
  }
  void OnScroll(int request) override {
    if (Syncing()) return;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(Handle(), SB_CTL, &si);
    const int page = std::max(1, model_.PageSize());
    const int last = std::max(model_.Min(), model_.Max() - std::max(0, model_.PageSize() - 1));
    int v = model_.Position();
    switch (request) {
      case SB_LINEUP:
        v -= 1;
        break;
      case SB_LINEDOWN:
        v += 1;
        break;
      case SB_PAGEUP:
        v -= page;
        break;
      case SB_PAGEDOWN:
        v += page;
        break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION:
        v = si.nTrackPos;
        break;
      case SB_TOP:
        v = model_.Min();
        break;
      case SB_BOTTOM:
        v = last;
        break;
      default:
        return;
    }
    v = std::clamp(v, model_.Min(), last);
    if (v == model_.Position()) return;
    RunUserAction([&] { model_.SetPosition(v); });
    Update(Prop::Position);
  }

 private:
  void Sync(Prop p) override {
    if (p == Prop::Range || p == Prop::Position) {
      // With a page size the thumb covers a page: the last position is
      // Max - PageSize + 1, as the window system has it.
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
      si.nMin = model_.Min();
      si.nMax = model_.Max();
      si.nPage = static_cast<UINT>(std::max(0, model_.PageSize()));
      si.nPos = model_.Position();
      SetScrollInfo(Handle(), SB_CTL, &si, TRUE);
    }
    ControlView::Sync(p);
  }
  ui::TScrollBar& model_;
};

class UpDownView : public ControlView {
 public:
  UpDownView(ui::TRangeControl& m, HWND parent, int id)
      : ControlView(m, MakeChild(UPDOWN_CLASSW, UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, parent, id)),
        model_(m) {
    Attach();
  }
  LRESULT OnNotify(NMHDR* hdr) override {
    if (hdr->code != static_cast<UINT>(UDN_DELTAPOS)) return 0;
    auto* ud = reinterpret_cast<NMUPDOWN*>(hdr);
    int v = std::clamp(model_.Position() + ud->iDelta, model_.Min(), model_.Max());
    if (v != model_.Position()) RunUserAction([&] { model_.SetPosition(v); });
    Update(Prop::Position);
    return 1;  // the model has set the position
  }

 private:
  void Sync(Prop p) override {
    if (p == Prop::Range || p == Prop::Position) {
      SendMessageW(Handle(), UDM_SETRANGE32, static_cast<WPARAM>(model_.Min()), model_.Max());
      SendMessageW(Handle(), UDM_SETPOS32, 0, model_.Position());
    }
    ControlView::Sync(p);
  }
  ui::TRangeControl& model_;
};

}  // namespace

void RunUserAction(const std::function<void()>& action) {
  try {
    action();
  } catch (...) {
    if (auto* app = ui::Application()) app->HandleException(std::current_exception());
  }
  if (AfterUserAction()) AfterUserAction()();
}

void SetAfterUserAction(std::function<void()> hook) {
  AfterUserAction() = std::move(hook);
}

// ---- ControlView

ControlView::ControlView(ui::TControl& model, HWND hwnd) : model_(model), hwnd_(hwnd) {}

ControlView::~ControlView() {
  if (observer_) model_.RemoveObserver(observer_);
  DestroyWindow(hwnd_);
}

void ControlView::Attach() {
  for (Prop p :
       {Prop::Font, Prop::Caption, Prop::Text, Prop::Items, Prop::ItemIndex, Prop::Lines,
        Prop::Checked, Prop::Range, Prop::Position, Prop::Enabled, Prop::Geometry, Prop::Visible})
    Update(p);
  observer_ = model_.AddObserver([this](ui::TComponent&, Prop p) { Update(p); });
}

void ControlView::Update(Prop p) {
  ++syncing_;
  Sync(p);
  --syncing_;
}

RECT ControlView::Bounds() const {
  return RECT{model_.Left(), model_.Top(), model_.Left() + model_.Width(),
              model_.Top() + model_.Height()};
}

void ControlView::Sync(Prop p) {
  switch (p) {
    case Prop::Geometry: {
      RECT r = Bounds();
      SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    }
    case Prop::Visible:
      ShowWindow(hwnd_, model_.Visible() ? SW_SHOWNA : SW_HIDE);
      break;
    case Prop::Enabled:
      EnableWindow(hwnd_, model_.Enabled());
      break;
    case Prop::Font:
      SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(model_.Font())), TRUE);
      break;
    case Prop::Focus:
      SetFocus(hwnd_);
      break;
    default:
      break;
  }
}

std::unique_ptr<ControlView> MakeControlView(ui::TControl& c, HWND parent, int id) {
  switch (c.GetKind()) {
    case ui::Kind::Label:
      return std::make_unique<LabelView>(static_cast<ui::TLabel&>(c), parent, id);
    case ui::Kind::Image:
      return std::make_unique<ImageView>(static_cast<ui::TImage&>(c), parent, id);
    case ui::Kind::Button:
      return std::make_unique<ButtonView>(static_cast<ui::TButton&>(c), parent, id);
    case ui::Kind::CheckBox:
      return std::make_unique<CheckBoxView>(static_cast<ui::TCheckBox&>(c), parent, id);
    case ui::Kind::Edit:
      return std::make_unique<EditView>(static_cast<ui::TEdit&>(c), parent, id);
    case ui::Kind::ComboBox:
      return std::make_unique<ComboBoxView>(static_cast<ui::TComboBox&>(c), parent, id);
    case ui::Kind::Memo:
      return std::make_unique<MemoView>(static_cast<ui::TMemo&>(c), parent, id);
    case ui::Kind::ListBox:
      return std::make_unique<ListBoxView>(static_cast<ui::TListBox&>(c), parent, id);
    case ui::Kind::ProgressBar:
      return std::make_unique<ProgressView>(static_cast<ui::TRangeControl&>(c), parent, id);
    case ui::Kind::TrackBar:
      return std::make_unique<TrackBarView>(static_cast<ui::TRangeControl&>(c), parent, id);
    case ui::Kind::ScrollBar:
      return std::make_unique<ScrollBarView>(static_cast<ui::TScrollBar&>(c), parent, id);
    case ui::Kind::UpDown:
      return std::make_unique<UpDownView>(static_cast<ui::TRangeControl&>(c), parent, id);
    default:
      return nullptr;
  }
}

}  // namespace dorv::win32ui
