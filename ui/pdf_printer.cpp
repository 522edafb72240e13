#include "ui/pdf_printer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ui/exceptions.h"
#include "ui/text.h"

namespace dorv::ui {

namespace {
std::string Num(double v) {
  return Format("%.3f", v);
}
std::string Rgb(TColor c) {
  return Format("%.3f %.3f %.3f", RedOf(c) / 255.0, GreenOf(c) / 255.0, BlueOf(c) / 255.0);
}
}  // namespace

TPdfPrinter::TPdfPrinter(std::string path, int dpi)
    : path_(std::move(path)), dpi_(dpi), canvas_(*this) {}

int TPdfPrinter::PageWidth() const {
  return 595 * dpi_ / 72;
}
int TPdfPrinter::PageHeight() const {
  return 842 * dpi_ / 72;
}

void TPdfPrinter::BeginDoc() {
  inDoc_ = true;
  pages_.clear();
  pageImages_.assign(1, {});
  images_.clear();
  content_.clear();
}

void TPdfPrinter::FinishPage() {
  pages_.push_back(content_);
  content_.clear();
}

void TPdfPrinter::NewPage() {
  FinishPage();
  pageImages_.emplace_back();
}

void TPdfPrinter::PageCanvas::DrawLine(int x0, int y0, int x1, int y1) {
  p_.content_ += Rgb(PenColor) + " RG " + Num(PenWidth * 72.0 / p_.dpi_) + " w " + Num(p_.X(x0)) +
                 " " + Num(p_.Y(y0)) + " m " + Num(p_.X(x1)) + " " + Num(p_.Y(y1)) + " l S\n";
}

void TPdfPrinter::PageCanvas::FillRect(int left, int top, int right, int bottom) {
  p_.content_ += Rgb(BrushColor) + " rg " + Num(p_.X(left)) + " " + Num(p_.Y(bottom)) + " " +
                 Num((right - left) * 72.0 / p_.dpi_) + " " + Num((bottom - top) * 72.0 / p_.dpi_) +
                 " re f\n";
}

void TPdfPrinter::PageCanvas::TextOut(int x, int y, const std::string& text) {
  std::string s;
  for (unsigned char c : text) {
    if (c >= 0x80) {
      if ((c & 0xC0) != 0x80) s += '?';  // one '?' per UTF-8 character
      continue;
    }
    if (c == '(' || c == ')' || c == '\\') s += '\\';
    s += static_cast<char>(c);
  }
  double size = Font.Height * 72.0 / p_.dpi_;
  if (!BrushClear) FillRect(x, y, x + TextWidth(text), y + Font.Height);
  p_.content_ += "BT " + Rgb(Font.Color) + " rg /F1 " + Num(size) + " Tf " + Num(p_.X(x)) + " " +
                 Num(p_.Y(y + Font.Height * 0.85)) + " Td (" + s + ") Tj ET\n";
}

void TPdfPrinter::DrawImage(int x, int y, int w, int h, int imgW, int imgH,
                            const std::vector<unsigned char>& rgb) {
  int id = static_cast<int>(images_.size());
  images_.push_back({imgW, imgH, rgb});
  pageImages_.back().push_back(id);
  content_ += "q " + Num(w * 72.0 / dpi_) + " 0 0 " + Num(h * 72.0 / dpi_) + " " + Num(X(x)) + " " +
              Num(Y(y + h)) + " cm /Im" + std::to_string(id) + " Do Q\n";
}

void TPdfPrinter::EndDoc() {
  if (!inDoc_) return;
  inDoc_ = false;
  FinishPage();
  // Objects: 1 catalog, 2 pages, 3 font, then per page: page + content,
  // then the images.
  std::vector<std::string> objs;
  int n = static_cast<int>(pages_.size());
  int firstImage = 4 + 2 * n;
  std::string kids;
  for (int i = 0; i < n; ++i) kids += std::to_string(4 + 2 * i) + " 0 R ";
  objs.push_back("<< /Type /Catalog /Pages 2 0 R >>");
  objs.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(n) + " >>");
  objs.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  for (int i = 0; i < n; ++i) {
    std::string xobj;
    for (int id : pageImages_[i])
      xobj += "/Im" + std::to_string(id) + " " + std::to_string(firstImage + id) + " 0 R ";
    objs.push_back(
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 3 0 R >> "
        "/XObject << " +
        xobj + ">> >> /Contents " + std::to_string(5 + 2 * i) + " 0 R >>");
    objs.push_back("<< /Length " + std::to_string(pages_[i].size()) + " >>\nstream\n" + pages_[i] +
                   "endstream");
  }
  for (auto& im : images_) {
    std::string data(im.rgb.begin(), im.rgb.end());
    objs.push_back("<< /Type /XObject /Subtype /Image /Width " + std::to_string(im.w) +
                   " /Height " + std::to_string(im.h) +
                   " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Length " +
                   std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream");
  }
  std::string out = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objs.size(); ++i) {
    offsets.push_back(out.size());
    out += std::to_string(i + 1) + " 0 obj\n" + objs[i] + "\nendobj\n";
  }
  size_t xref = out.size();
  out += "xref\n0 " + std::to_string(objs.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t off : offsets)
    out += Format("%010llu 00000 n \n", static_cast<unsigned long long>(off));
  out += "trailer\n<< /Size " + std::to_string(objs.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  FILE* f = std::fopen(path_.c_str(), "wb");
  if (!f) throw Exception("印刷できません: " + path_ + ": " + std::strerror(errno));
  bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) throw Exception("印刷できません: " + path_);
}

}  // namespace dorv::ui
