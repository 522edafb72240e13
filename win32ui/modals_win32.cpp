#include "win32ui/modals_win32.h"

#include <cstring>

#include "ui/exceptions.h"
#include "ui/pdf_printer.h"
#include "win32ui/canvas_win32.h"
#include "win32ui/text_win32.h"

namespace dorv::win32ui {

namespace {

// The input dialog's template, built in memory: a prompt, an edit field and
// OK and Cancel, in dialog units, with the designs' font.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short cx, short cy, const wchar_t* font, WORD points) {
    Align();
    Dword(style | DS_SETFONT);
    Dword(0);
    countAt_ = words_.size();
    Word(0);
    Short(0);
    Short(0);
    Short(cx);
    Short(cy);
    Word(0);  // no menu
    Word(0);  // the standard dialog class
    Word(0);  // no title (set when shown)
    Word(points);
    Text(font);
  }
  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom) {
    Align();
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Short(x);
    Short(y);
    Short(cx);
    Short(cy);
    Word(id);
    Word(0xFFFF);
    Word(atom);
    Word(0);  // no text (set when shown)
    Word(0);  // no creation data
    ++words_[countAt_];
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Align() {
    if (words_.size() % 2) words_.push_back(0);
  }
  void Word(WORD w) { words_.push_back(w); }
  void Short(short s) { words_.push_back(static_cast<WORD>(s)); }
  void Dword(DWORD d) {
    words_.push_back(LOWORD(d));
    words_.push_back(HIWORD(d));
  }
  void Text(const wchar_t* s) {
    for (; *s; ++s) words_.push_back(static_cast<WORD>(*s));
    words_.push_back(0);
  }
  std::vector<WORD> words_;
  size_t countAt_ = 0;
};

struct InputQueryData {
  std::wstring caption, prompt, value;
};

INT_PTR CALLBACK InputQueryProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      auto* d = reinterpret_cast<InputQueryData*>(lp);
      SetWindowLongPtrW(dlg, DWLP_USER, lp);
      SetWindowTextW(dlg, d->caption.c_str());
      SetDlgItemTextW(dlg, 101, d->prompt.c_str());
      SetDlgItemTextW(dlg, kInputQueryEditId, d->value.c_str());
      SetDlgItemTextW(dlg, IDOK, L"OK");
      SetDlgItemTextW(dlg, IDCANCEL, L"キャンセル");
      HWND edit = GetDlgItem(dlg, kInputQueryEditId);
      SendMessageW(edit, EM_SETSEL, 0, -1);
      SetFocus(edit);
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        auto* d = reinterpret_cast<InputQueryData*>(GetWindowLongPtrW(dlg, DWLP_USER));
        HWND edit = GetDlgItem(dlg, kInputQueryEditId);
        int n = GetWindowTextLengthW(edit);
        d->value.assign(static_cast<size_t>(n) + 1, L'\0');
        GetWindowTextW(edit, d->value.data(), n + 1);
        d->value.resize(static_cast<size_t>(n));
        EndDialog(dlg, IDOK);
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

HWND ModalOwner() {
  if (HWND w = GetActiveWindow()) return w;
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) -> BOOL {
        if (!IsWindowVisible(w)) return TRUE;
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::wstring FileDialogFilter(const std::string& filter) {
  std::wstring out = W(filter);
  if (out.empty()) return out;
  for (auto& c : out)
    if (c == L'|') c = L'\0';
  out.push_back(L'\0');
  out.push_back(L'\0');
  return out;
}

Win32Modals::Win32Modals(std::function<std::string()> title) : title_(std::move(title)) {}

void Win32Modals::DoShowMessage(const std::string& text) {
  MessageBoxW(ModalOwner(), W(text).c_str(), W(title_()).c_str(), MB_OK);
}

bool Win32Modals::DoConfirm(const std::string& text) {
  // Escape and the close box count as Cancel.
  return MessageBoxW(ModalOwner(), W(text).c_str(), W(title_()).c_str(), MB_OKCANCEL) == IDOK;
}

void Win32Modals::DoShowException(const std::string& message) {
  // As the toolkit's exception display does: a full stop unless the message
  // already ends with punctuation.
  std::wstring text = W(message);
  if (!text.empty() && text.back() > L'.') text += L'.';
  MessageBoxW(ModalOwner(), text.c_str(), W(title_()).c_str(), MB_OK | MB_ICONERROR);
}

bool Win32Modals::DoInputQuery(const std::string& caption, const std::string& prompt,
                               std::string& value) {
  DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, 220, 62,
                   L"ＭＳ Ｐゴシック", 9);
  t.Item(SS_LEFT | SS_NOPREFIX, 7, 7, 206, 10, 101, 0x0082);
  t.Item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 20, 206, 12, kInputQueryEditId, 0x0081);
  t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 109, 40, 50, 14, IDOK, 0x0080);
  t.Item(BS_PUSHBUTTON | WS_TABSTOP, 163, 40, 50, 14, IDCANCEL, 0x0080);
  InputQueryData data{W(caption), W(prompt), W(value)};
  INT_PTR r = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), ModalOwner(),
                                      InputQueryProc, reinterpret_cast<LPARAM>(&data));
  if (r != IDOK) return false;
  value = U8(data.value);
  return true;
}

bool Win32Modals::DoFileDialog(ui::FileDialogRequest& req) {
  std::wstring filter = FileDialogFilter(req.filter);
  std::wstring title = W(req.title), ext = W(req.defaultExt), dir = W(req.initialDir);
  std::vector<wchar_t> file(32768, L'\0');
  std::wstring initial = W(req.fileName);
  if (initial.size() < file.size()) std::copy(initial.begin(), initial.end(), file.begin());
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = ModalOwner();
  ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (req.options & ui::ofOverwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
  if (req.options & ui::ofFileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
  if (req.options & ui::ofHideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
  if (req.options & ui::ofEnableSizing) ofn.Flags |= OFN_ENABLESIZING;
  BOOL ok = req.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!ok) {
    if (DWORD err = CommDlgExtendedError())
      throw ui::Exception("ファイルのダイアログを開けません (エラー " + std::to_string(err) + ")");
    return false;
  }
  req.fileName = U8(file.data());
  return true;
}

namespace {

bool PrinterInstalled() {
  DWORD needed = 0, count = 0;
  EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed,
                &count);
  return needed > 0;
}

}  // namespace

std::unique_ptr<ui::TPrinter> Win32Modals::DoPrintDialog() {
  if (!PrinterInstalled()) {
    // Without a printer the print dialog only says to install one: the page
    // goes to a PDF file the user names instead.
    ui::FileDialogRequest req;
    req.save = true;
    req.title = "プリンターがありません: PDF ファイルに印刷";
    req.filter = "PDF ファイル (*.pdf)|*.pdf";
    req.defaultExt = "pdf";
    req.options = ui::ofOverwritePrompt | ui::ofHideReadOnly;
    if (!DoFileDialog(req)) return nullptr;
    return std::make_unique<ui::TPdfPrinter>(req.fileName);
  }
  PRINTDLGW pd{};
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = ModalOwner();
  pd.Flags = PD_RETURNDC | PD_NOSELECTION | PD_NOPAGENUMS | PD_USEDEVMODECOPIESANDCOLLATE;
  if (PrintDlgW(&pd)) {
    std::string name = "プリンター";
    if (pd.hDevNames) {
      if (auto* names = static_cast<DEVNAMES*>(GlobalLock(pd.hDevNames))) {
        name = U8(reinterpret_cast<const wchar_t*>(names) + names->wDeviceOffset);
        GlobalUnlock(pd.hDevNames);
      }
      GlobalFree(pd.hDevNames);
    }
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    return std::make_unique<GdiPrinter>(pd.hDC, name);
  }
  if (DWORD err = CommDlgExtendedError())
    throw ui::Exception("印刷のダイアログを開けません (エラー " + std::to_string(err) + ")");
  return nullptr;  // cancelled
}

// ---- GdiPrinter

GdiPrinter::GdiPrinter(HDC dc, std::string name)
    : dc_(dc), name_(std::move(name)), canvas_(std::make_unique<GdiCanvas>(dc)) {}

GdiPrinter::~GdiPrinter() {
  canvas_.reset();
  if (inDoc_) AbortDoc(dc_);
  DeleteDC(dc_);
}

void GdiPrinter::BeginDoc() {
  DOCINFOW di{};
  di.cbSize = sizeof di;
  di.lpszDocName = L"DORV";
  inDoc_ = StartDocW(dc_, &di) > 0;
  failed_ = !inDoc_ || StartPage(dc_) <= 0;
}

void GdiPrinter::NewPage() {
  if (!inDoc_) return;
  if (EndPage(dc_) <= 0 || StartPage(dc_) <= 0) failed_ = true;
}

void GdiPrinter::EndDoc() {
  bool ok = inDoc_ && !failed_ && EndPage(dc_) > 0;
  if (inDoc_) {
    if (ok)
      ok = ::EndDoc(dc_) > 0;
    else
      AbortDoc(dc_);
    inDoc_ = false;
  }
  if (!ok) throw ui::Exception("印刷できません: " + name_);
}

ui::TCanvas& GdiPrinter::Canvas() {
  return *canvas_;
}

int GdiPrinter::DotsPerInch() const {
  return GetDeviceCaps(dc_, LOGPIXELSX);
}

int GdiPrinter::PageWidth() const {
  return GetDeviceCaps(dc_, HORZRES);
}

int GdiPrinter::PageHeight() const {
  return GetDeviceCaps(dc_, VERTRES);
}

void GdiPrinter::DrawImage(int x, int y, int w, int h, int imgW, int imgH,
                           const std::vector<unsigned char>& rgb) {
  if (!inDoc_ || imgW <= 0 || imgH <= 0 || rgb.size() < static_cast<size_t>(imgW) * imgH * 3)
    return;
  // Rows of a device-independent bitmap are blue-green-red, 4-byte aligned.
  const size_t stride = (static_cast<size_t>(imgW) * 3 + 3) & ~size_t(3);
  std::vector<unsigned char> bits(stride * imgH);
  for (int row = 0; row < imgH; ++row)
    for (int col = 0; col < imgW; ++col) {
      const unsigned char* s = &rgb[(static_cast<size_t>(row) * imgW + col) * 3];
      unsigned char* d = &bits[row * stride + col * 3];
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
    }
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = imgW;
  bi.bmiHeader.biHeight = -imgH;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  SetStretchBltMode(dc_, COLORONCOLOR);
  StretchDIBits(dc_, x, y, w, h, 0, 0, imgW, imgH, bits.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace dorv::win32ui
