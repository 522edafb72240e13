#include "win32ui/form_window_win32.h"

#include <algorithm>
#include <exception>

#include "ui/application.h"
#include "win32ui/canvas_win32.h"
#include "win32ui/text_win32.h"

namespace dorv::win32ui {

namespace {

const wchar_t kFormClass[] = L"DorvForm";
// Child ids start here; the form's controls in their order.
constexpr int kFirstId = 1000;

DWORD StyleFor(ui::TBorderStyle style) {
  switch (style) {
    case ui::TBorderStyle::Single:
      return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    case ui::TBorderStyle::Dialog:
      return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    case ui::TBorderStyle::Sizeable:
      break;
  }
  return WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
}

DWORD ExStyleFor(ui::TBorderStyle style) {
  return style == ui::TBorderStyle::Dialog ? WS_EX_DLGMODALFRAME : 0;
}

void RegisterFormClass() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = DefWindowProcW;  // replaced per window at creation
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  wc.lpszClassName = kFormClass;
  RegisterClassExW(&wc);
}

ui::TMouseButton ButtonOf(UINT msg) {
  switch (msg) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return ui::TMouseButton::mbRight;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return ui::TMouseButton::mbMiddle;
    default:
      return ui::TMouseButton::mbLeft;
  }
}

}  // namespace

void DispatchFormMessage(MSG& msg) {
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && msg.hwnd) {
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    wchar_t cls[16] = {};
    if (root && GetClassNameW(root, cls, 16) && !wcscmp(cls, kFormClass) &&
        IsDialogMessageW(root, &msg))
      return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    DispatchFormMessage(msg);
  }
}

FormWindow::FormWindow(ui::TForm& form) : form_(form) {
  RegisterFormClass();
  hwnd_ = CreateWindowExW(ExStyleFor(form.BorderStyle()), kFormClass, W(form.Caption()).c_str(),
                          StyleFor(form.BorderStyle()), form.Left(), form.Top(), form.Width(),
                          form.Height(), nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FormWindow::WndProc));
  form_.SetInvalidateHook([this] { InvalidateRect(hwnd_, nullptr, FALSE); });
  form_.SetGrabHook(
      [this](int& w, int& h, std::vector<unsigned char>& rgb) { ClientImage(w, h, rgb); });
  ApplyGeometry();
  observer_ = form_.AddObserver([this](ui::TComponent&, ui::Prop p) { Sync(p); });
  Sync(ui::Prop::Visible);
}

FormWindow::~FormWindow() {
  form_.RemoveObserver(observer_);
  form_.SetInvalidateHook(nullptr);
  form_.SetGrabHook(nullptr);
  controls_.clear();
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
}

void FormWindow::MakeControls() {
  if (controlsMade_) return;
  controlsMade_ = true;
  // The window system puts the first created child on top. Windowed
  // controls come first, so that labels and pictures lie beneath them; the
  // labels then last to first, so that of two overlapping labels the later
  // one is on top, as the toolkit stacks them.
  const auto& all = form_.Components();
  auto flat = [](const ui::TControl& c) {
    return c.GetKind() == ui::Kind::Label || c.GetKind() == ui::Kind::Image;
  };
  int id = kFirstId;
  for (auto& c : all)
    if (auto* ctl = dynamic_cast<ui::TControl*>(c.get()); ctl && !flat(*ctl))
      if (auto view = MakeControlView(*ctl, hwnd_, id++)) controls_.push_back(std::move(view));
  for (auto it = all.rbegin(); it != all.rend(); ++it)
    if (auto* ctl = dynamic_cast<ui::TControl*>(it->get()); ctl && flat(*ctl))
      if (auto view = MakeControlView(*ctl, hwnd_, id++)) controls_.push_back(std::move(view));
}

HWND FormWindow::ControlHandle(const std::string& name) {
  MakeControls();
  for (auto& v : controls_)
    if (v->Model().Name() == name) return v->Handle();
  return nullptr;
}

void FormWindow::ClientImage(int& w, int& h, std::vector<unsigned char>& rgb) {
  MakeControls();
  RECT r;
  GetClientRect(hwnd_, &r);
  w = std::max(1, static_cast<int>(r.right));
  h = std::max(1, static_cast<int>(r.bottom));
  // Whatever waits to be drawn is drawn first, children included.
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC screen = GetDC(hwnd_);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  // A shown window is taken from its surface as drawn; a hidden one draws
  // itself and its controls into the bitmap.
  if (IsWindowVisible(hwnd_))
    BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  else
    SendMessageW(hwnd_, WM_PRINT, reinterpret_cast<WPARAM>(mem),
                 PRF_CLIENT | PRF_CHILDREN | PRF_ERASEBKGND);
  GdiFlush();
  rgb.resize(static_cast<size_t>(w) * h * 3);
  const auto* px = static_cast<const unsigned char*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
    rgb[i * 3] = px[i * 4 + 2];
    rgb[i * 3 + 1] = px[i * 4 + 1];
    rgb[i * 3 + 2] = px[i * 4];
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(hwnd_, screen);
}

void FormWindow::Sync(ui::Prop p) {
  switch (p) {
    case ui::Prop::Caption:
      SetWindowTextW(hwnd_, W(form_.Caption()).c_str());
      break;
    case ui::Prop::Geometry:
      ApplyGeometry();
      break;
    case ui::Prop::Visible:
      if (form_.Visible() && !IsWindowVisible(hwnd_)) {
        MakeControls();
        ApplyGeometry();
        ShowWindow(hwnd_, SW_SHOW);
        SetForegroundWindow(hwnd_);
      } else if (!form_.Visible() && IsWindowVisible(hwnd_)) {
        ShowWindow(hwnd_, SW_HIDE);
      }
      break;
    default:
      break;
  }
}

void FormWindow::ApplyGeometry() {
  ++applying_;
  // The model's size is the outer size in the toolkit's frame; the window's
  // client area is that less the frame, so that the controls keep their
  // places whatever frame the window system draws.
  RECT r{0, 0, std::max(1, form_.ClientWidth()), std::max(1, form_.ClientHeight())};
  AdjustWindowRectEx(&r, StyleFor(form_.BorderStyle()), FALSE, ExStyleFor(form_.BorderStyle()));
  SetWindowPos(hwnd_, nullptr, form_.Left(), form_.Top(), r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  --applying_;
}

void FormWindow::TakeGeometryFromWindow() {
  // The user moved or resized the window: the model follows, which runs the
  // form's resize event when the size changed.
  if (applying_ || !IsWindowVisible(hwnd_) || IsIconic(hwnd_)) return;
  RECT outer, client;
  GetWindowRect(hwnd_, &outer);
  GetClientRect(hwnd_, &client);
  int w = form_.Width(), h = form_.Height();
  if (form_.BorderStyle() == ui::TBorderStyle::Sizeable) {
    w = client.right + ui::TForm::FrameWidth(form_.BorderStyle());
    h = client.bottom + ui::TForm::FrameHeight(form_.BorderStyle());
  }
  int x = outer.left, y = outer.top;
  if (x == form_.Left() && y == form_.Top() && w == form_.Width() && h == form_.Height()) return;
  RunUserAction([&] { form_.SetBounds(x, y, w, h); });
}

ControlView* FormWindow::ViewOf(HWND child) const {
  for (auto& v : controls_)
    if (v->Handle() == child) return v.get();
  // A part of a control (the edit field of a combo box).
  HWND parent = GetParent(child);
  if (parent && parent != hwnd_)
    for (auto& v : controls_)
      if (v->Handle() == parent) return v.get();
  return nullptr;
}

void FormWindow::Paint(HDC dc) {
  RECT r;
  GetClientRect(hwnd_, &r);
  // Drawn off screen and put on at once, so that a repaint does not flicker.
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, std::max(1L, r.right), std::max(1L, r.bottom));
  HGDIOBJ old = SelectObject(mem, bmp);
  ::FillRect(mem, &r, BrushFor(form_.Color()));
  {
    GdiCanvas canvas(mem);
    canvas.Font = form_.Font();
    try {
      form_.PaintOn(canvas);
    } catch (...) {
      // Shown after the paint: a modal box cannot open inside one.
      if (auto* app = ui::Application())
        app->Loop().Post([e = std::current_exception()] { std::rethrow_exception(e); });
    }
  }
  BitBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
}

LRESULT CALLBACK FormWindow::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->Handle(msg, wp, lp);
}

LRESULT FormWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      Paint(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint fills the whole surface
    case WM_CLOSE:
      // The model closes the form (its close event, then hidden); the window
      // follows the model.
      RunUserAction([this] { form_.Close(); });
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
      SetCapture(hwnd_);
      RunUserAction([&] { form_.UserMouseDown(ButtonOf(msg), x, y); });
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
      ReleaseCapture();
      RunUserAction([&] { form_.UserMouseUp(ButtonOf(msg), x, y); });
      return 0;
    }
    case WM_MOUSEMOVE:
      // The toolkit reports moves only while a button is held.
      if (wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) {
        int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
        RunUserAction([&] { form_.UserMouseMove(x, y); });
      }
      return 0;
    case WM_MOUSEWHEEL: {
      POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ScreenToClient(hwnd_, &at);
      int delta = GET_WHEEL_DELTA_WPARAM(wp);
      RunUserAction([&] { form_.UserMouseWheel(delta, at.x, at.y); });
      return 0;
    }
    case WM_MOVE:
    case WM_SIZE:
      TakeGeometryFromWindow();
      break;
    case WM_COMMAND:
      if (lp)
        if (ControlView* v = ViewOf(reinterpret_cast<HWND>(lp))) v->OnCommand(HIWORD(wp));
      return 0;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (ControlView* v = ViewOf(hdr->hwndFrom)) return v->OnNotify(hdr);
      break;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (lp)
        if (ControlView* v = ViewOf(reinterpret_cast<HWND>(lp))) v->OnScroll(LOWORD(wp));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      if (ControlView* v = ViewOf(reinterpret_cast<HWND>(lp)))
        if (HBRUSH b = v->OnColor(reinterpret_cast<HDC>(wp))) return reinterpret_cast<LRESULT>(b);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

void RunModalForm(ui::TForm& form, const std::function<bool()>& done) {
  if (!form.Visible()) form.Show();
  // The other windows of the program take no input while it is open.
  std::vector<HWND> disabled;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) -> BOOL {
        if (IsWindowVisible(w) && IsWindowEnabled(w)) {
          reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
          EnableWindow(w, FALSE);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&disabled));
  {
    FormWindow window(form);
    SetTimer(window.Handle(), 1, 20, nullptr);
    MSG msg;
    while (!done() && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchFormMessage(msg);
    KillTimer(window.Handle(), 1);
  }
  for (HWND w : disabled) EnableWindow(w, TRUE);
}

}  // namespace dorv::win32ui
