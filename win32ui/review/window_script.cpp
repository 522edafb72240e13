// dorv-window-script: the utility's Windows window driven by a script, for
// the tests under Wine and for reviewing the look (scripts/screenshot
// --windows). It is the utility itself, started the same way; once the main
// window's caption reads the connected caption (or the wait is over) it plays
// the script's user actions with the script runner's commands on the real
// windows and answers the real dialogs as a user would, then writes a PNG of
// every window to the shots folder and ends. Not installed: the shipped
// window carries no script runner.
//
// usage: dorv-window-script [--shots DIR] [--hidden] [--check-render] [--caption TEXT]
//                           [--wait S] SCRIPT
//
// --check-render first checks the captions of the shown windows as drawn
// (see CheckRender).
//
// The modal commands work on the system's dialogs: "answer" queues an answer
// that the next dialog takes once it has been open for the answer delay
// (message box: ok or cancel; input dialog: the text or cancel; file dialog:
// a path or cancel; print: the PDF file's path when no printer is installed,
// or cancel); without one a message box gets OK and any other dialog Cancel.
// A message box that the program did not ask for (one of the system's own,
// such as the question whether to replace a file) takes OK (Yes) and leaves
// a queued path for the dialog it belongs to. "messages" prints the text of
// every message box of the program shown so far. "wait" runs the message
// loop, so that input from outside (a test's keys and clicks) is taken.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/script_runner.h"
#include "ui/text.h"
#include "win32ui/canvas_win32.h"
#include "win32ui/frontend_win32.h"
#include "win32ui/modals_win32.h"
#include "win32ui/review/png_writer.h"
#include "win32ui/text_win32.h"
#include "win32ui/win32.h"

namespace dorv::win32ui {
namespace {

struct Options {
  std::wstring shots;
  bool hidden = false;
  bool checkRender = false;
  std::string caption = "D-ORV KRB Updater 1.00";
  int waitMs = 20000;
  std::string script;
};

// Answers the system's dialogs of this thread from a queue.
class Answerer {
 public:
  static Answerer& Get() {
    static Answerer a;
    return a;
  }
  void Start() { SetTimer(nullptr, 0, 50, &Answerer::Tick); }
  std::deque<std::string> answers;
  std::vector<std::string> messages;
  std::string title;  // the caption of the program's message boxes
  DWORD delayMs = 300;

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { Get().Look(); }

  static HWND OpenDialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
          wchar_t cls[16] = {};
          GetClassNameW(w, cls, 16);
          if (IsWindowVisible(w) && IsWindowEnabled(w) && !wcscmp(cls, L"#32770")) {
            *reinterpret_cast<HWND*>(p) = w;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
  }
  static std::string Text(HWND w) {
    wchar_t buf[4096] = {};
    GetWindowTextW(w, buf, 4096);
    return U8(buf);
  }
  static void Press(HWND dlg, int id) {
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
  }

  void Look() {
    HWND dlg = OpenDialog();
    if (!dlg) {
      current_ = nullptr;
      return;
    }
    if (dlg != current_) {
      current_ = dlg;
      since_ = GetTickCount();
      return;
    }
    if (GetTickCount() - since_ < delayMs) return;
    current_ = nullptr;
    HWND fileName = GetDlgItem(dlg, 0x47C);  // the file dialogs' name box
    if (!fileName) fileName = GetDlgItem(dlg, 0x480);
    HWND input = GetDlgItem(dlg, kInputQueryEditId);
    if (fileName || input) {
      std::string a;
      if (!answers.empty()) {
        a = answers.front();
        answers.pop_front();
      }
      if (a.empty() || a == "cancel") {
        Press(dlg, IDCANCEL);
        return;
      }
      // A path is typed as on Windows, with backslashes.
      if (fileName) std::replace(a.begin(), a.end(), '/', '\\');
      SetWindowTextW(fileName ? fileName : input, W(a).c_str());
      Press(dlg, IDOK);
      return;
    }
    // A message box: its text is the static with the id -1. Only the
    // program's own boxes (captioned with its title) count as its messages.
    HWND text = GetDlgItem(dlg, 0xFFFF);
    if (text && Text(dlg) == title) messages.push_back(Text(text));
    bool cancel = false;
    if (!answers.empty() && (answers.front() == "ok" || answers.front() == "cancel")) {
      cancel = answers.front() == "cancel";
      answers.pop_front();
    }
    // A question of the system's (replace the file?) has Yes and No.
    const int yes = GetDlgItem(dlg, IDOK) ? IDOK : IDYES;
    const int no = GetDlgItem(dlg, IDCANCEL) ? IDCANCEL : IDNO;
    Press(dlg, cancel && GetDlgItem(dlg, no) ? no : yes);
  }

  HWND current_ = nullptr;
  DWORD since_ = 0;
};

// The client image under a drawn title bar with the caption (the window
// system's frame is not part of the window's image).
void WithTitleBar(const std::string& caption, int& w, int& h, std::vector<unsigned char>& rgb) {
  const int bar = 24;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -bar;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT r{0, 0, w, bar};
  HBRUSH blue = CreateSolidBrush(Rgb(0, 84, 153));
  FillRect(dc, &r, blue);
  DeleteObject(blue);
  ui::TFont font;
  font.Height = 13;
  font.Bold = true;
  SelectObject(dc, FontFor(font));
  SetTextColor(dc, Rgb(255, 255, 255));
  SetBkMode(dc, TRANSPARENT);
  std::wstring text = W(caption);
  RECT t{8, 0, w - 8, bar};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  GdiFlush();
  std::vector<unsigned char> out(static_cast<size_t>(w) * (h + bar) * 3);
  const auto* px = static_cast<const unsigned char*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(w) * bar; ++i) {
    out[i * 3] = px[i * 4 + 2];
    out[i * 3 + 1] = px[i * 4 + 1];
    out[i * 3 + 2] = px[i * 4];
  }
  std::copy(rgb.begin(), rgb.end(), out.begin() + static_cast<ptrdiff_t>(w) * bar * 3);
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  rgb.swap(out);
  h += bar;
}

int Shoot(Frontend& frontend, const Options& o) {
  CreateDirectoryW(o.shots.c_str(), nullptr);
  int failures = 0;
  for (auto& window : frontend.Windows()) {
    HWND hwnd = window->Handle();
    bool shown = IsWindowVisible(hwnd);
    if (!shown && !o.hidden) continue;
    // A hidden window is shown for the moment of its picture, without
    // telling its form.
    if (!shown) ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    PumpMessages();
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    window->ClientImage(w, h, rgb);
    if (!shown) ShowWindow(hwnd, SW_HIDE);
    WithTitleBar(window->Model().Caption(), w, h, rgb);
    std::wstring name = W(window->Model().Name()) + (shown ? L"" : L"-hidden") + L".png";
    std::wstring path = o.shots + L"\\" + name;
    if (WritePng(path, w, h, rgb)) {
      std::printf("screenshot: %s\n", U8(path).c_str());
    } else {
      std::fprintf(stderr, "screenshot: cannot write %s\n", U8(path).c_str());
      ++failures;
    }
  }
  std::fflush(stdout);
  return failures ? 1 : 0;
}

// Every shown caption of the shown windows as the window system has it: the
// native control's text is the model's, and the control's font has a glyph
// for each of its characters (a Japanese caption in a font without Japanese
// shows empty boxes). Says which font face the designs' font became.
int CheckRender(Frontend& frontend) {
  int checked = 0, bad = 0;
  std::string faces;
  for (auto& window : frontend.Windows()) {
    if (!IsWindowVisible(window->Handle())) continue;
    for (auto& c : window->Model().Components()) {
      auto* ctl = dynamic_cast<ui::TControl*>(c.get());
      if (!ctl || !ctl->Visible() || ctl->Caption().empty()) continue;
      auto k = ctl->GetKind();
      if (k != ui::Kind::Button && k != ui::Kind::Label && k != ui::Kind::CheckBox) continue;
      HWND h = window->ControlHandle(ctl->Name());
      wchar_t buf[1024] = {};
      GetWindowTextW(h, buf, 1024);
      std::wstring text = buf;
      const std::string where = window->Model().Name() + "." + ctl->Name();
      if (U8(text) != ctl->Caption()) {
        std::fprintf(stderr, "render: %s shows \"%s\", not \"%s\"\n", where.c_str(),
                     U8(text).c_str(), ctl->Caption().c_str());
        ++bad;
      }
      HDC dc = GetDC(h);
      HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
      std::vector<WORD> glyphs(text.size());
      GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                       GGI_MARK_NONEXISTING_GLYPHS);
      wchar_t face[LF_FACESIZE] = {};
      GetTextFaceW(dc, LF_FACESIZE, face);
      SelectObject(dc, old);
      ReleaseDC(h, dc);
      std::string f = ctl->Font().Name + " -> " + U8(face);
      if (faces.find(f) == std::string::npos) faces += (faces.empty() ? "" : ", ") + f;
      for (size_t i = 0; i < text.size(); ++i)
        if (glyphs[i] == 0xFFFF && text[i] != L' ') {
          std::fprintf(stderr, "render: %s: the font %s has no glyph for \"%s\"\n", where.c_str(),
                       U8(face).c_str(), U8(std::wstring(1, text[i])).c_str());
          ++bad;
          break;
        }
      ++checked;
    }
  }
  std::printf("render: %d captions checked, %d wrong; fonts: %s\n", checked, bad, faces.c_str());
  std::fflush(stdout);
  return bad || checked == 0 ? 1 : 0;
}

int PlayScript(ui::TApplication& app, Frontend& frontend, const Options& o) {
  std::vector<std::string> lines;
  if (!o.script.empty()) {
    std::ifstream in(o.script);
    if (!in) {
      std::fprintf(stderr, "dorv-window-script: cannot read %s\n", o.script.c_str());
      return 2;
    }
    for (std::string l; std::getline(in, l);) {
      if (!l.empty() && l.back() == '\r') l.pop_back();
      lines.push_back(l);
    }
  }
  tools::ScriptRunner runner(app, std::cout, std::cerr);
  // After each line the windows draw what changed. Nothing else runs between
  // two lines (no timer, no delivery), as in the headless runner: a condition
  // that an "until" saw still holds for the next line's action.
  runner.SetAfterLine([&frontend] {
    for (auto& w : frontend.Windows())
      RedrawWindow(w->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  });
  Answerer& answerer = Answerer::Get();
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "answer") {
      answerer.answers.push_back(ui::Trim(line.substr(line.find("answer") + 6)));
      continue;
    }
    if (command == "answer-delay") {
      int ms = 0;
      words >> ms;
      answerer.delayMs = static_cast<DWORD>(std::max(0, ms));
      continue;
    }
    if (command == "wait") {
      // The program idles as a window does: the message loop runs, so the
      // user's input (keys, clicks from outside) reaches the windows too.
      int ms = 0;
      if (!(words >> ms) || ms < 0) {
        std::fprintf(stderr, "dorv-window-script: %s:%zu: wait needs milliseconds\n",
                     o.script.c_str(), i + 1);
        return 2;
      }
      auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
      for (auto now = std::chrono::steady_clock::now(); now < end;
           now = std::chrono::steady_clock::now()) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now).count();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        PumpMessages();
      }
      continue;
    }
    if (command == "messages") {
      for (auto& m : answerer.messages) std::cout << "message: " << m << "\n";
      std::cout.flush();
      continue;
    }
    int code = runner.Run({line});
    // What a line printed is seen at once by whoever watches the output (a
    // test that acts from outside at a point of the script).
    std::cout.flush();
    if (code != 0) {
      std::fprintf(stderr, "dorv-window-script: %s:%zu: %s\n", o.script.c_str(), i + 1,
                   line.c_str());
      return code;
    }
  }
  return 0;
}

}  // namespace
}  // namespace dorv::win32ui

int main(int argc, char** argv) {
  using namespace dorv::win32ui;
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--shots" && i + 1 < argc)
      o.shots = W(argv[++i]);
    else if (a == "--hidden")
      o.hidden = true;
    else if (a == "--check-render")
      o.checkRender = true;
    else if (a == "--caption" && i + 1 < argc)
      o.caption = argv[++i];
    else if (a == "--wait" && i + 1 < argc)
      o.waitMs = std::atoi(argv[++i]) * 1000;
    else if (o.script.empty() && a.rfind("--", 0) != 0)
      o.script = a;
    else {
      std::fputs(
          "usage: dorv-window-script [--shots DIR] [--hidden] [--check-render] [--caption TEXT] "
          "[--wait S] SCRIPT\n",
          stderr);
      return 2;
    }
  }
  Frontend frontend;
  static int result = 0;
  static Options options = o;
  static Frontend* front = &frontend;
  frontend.SetOnRunning([](dorv::ui::TApplication& app) {
    static dorv::ui::TApplication* application = &app;
    static auto start = std::chrono::steady_clock::now();
    Answerer::Get().title = app.Title;
    Answerer::Get().Start();
    SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
      dorv::ui::TApplication& app = *application;
      dorv::ui::TForm* main = app.MainForm();
      bool ready = main && main->Caption() == options.caption;
      auto waited = std::chrono::steady_clock::now() - start;
      if (!ready && waited < std::chrono::milliseconds(options.waitMs)) return;
      KillTimer(nullptr, id);
      if (!ready)
        std::fprintf(stderr, "dorv-window-script: the caption is \"%s\" after %d s\n",
                     main ? main->Caption().c_str() : "", options.waitMs / 1000);
      if (options.checkRender && CheckRender(*front) != 0) result = 1;
      if (result == 0) result = PlayScript(app, *front, options);
      if (!options.shots.empty()) {
        // A moment for the displays to take the last answers, and every
        // window drawn once, so that windows fed by another's paint (the
        // statistics beside the graph) show what that paint computed.
        app.Loop().RunFor(std::chrono::milliseconds(700));
        PumpMessages();
        if (Shoot(*front, options) != 0 && result == 0) result = 1;
      }
      RunUserAction([&app] {
        if (app.MainForm()) app.MainForm()->Close();
      });
    });
  });
  int code = WindowMain(1, argv, frontend);
  return result != 0 ? result : code;
}
