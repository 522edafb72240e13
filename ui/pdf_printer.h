#pragma once
#include <string>

#include "ui/modal.h"

namespace dorv::ui {

// A printer that writes an A4 PDF file: lines, fills, images and texts (texts
// in a base font, so characters outside ASCII print as '?'). Used where no
// system printer is wanted: headless runs and tests.
class TPdfPrinter : public TPrinter {
 public:
  explicit TPdfPrinter(std::string path, int dpi = 300);
  void BeginDoc() override;
  void NewPage() override;
  void EndDoc() override;
  TCanvas& Canvas() override { return canvas_; }
  int DotsPerInch() const override { return dpi_; }
  int PageWidth() const override;
  int PageHeight() const override;
  void DrawImage(int x, int y, int w, int h, int imgW, int imgH,
                 const std::vector<unsigned char>& rgb) override;

 private:
  class PageCanvas : public TCanvas {
   public:
    explicit PageCanvas(TPdfPrinter& p) : p_(p) {}
    void DrawLine(int x0, int y0, int x1, int y1) override;
    void TextOut(int x, int y, const std::string& text) override;
    void FillRect(int left, int top, int right, int bottom) override;

   private:
    TPdfPrinter& p_;
  };
  struct Image {
    int w, h;
    std::vector<unsigned char> rgb;
  };
  double X(double dots) const { return dots * 72.0 / dpi_; }
  double Y(double dots) const { return 842.0 - dots * 72.0 / dpi_; }
  void FinishPage();

  std::string path_;
  int dpi_;
  PageCanvas canvas_;
  std::string content_;
  std::vector<std::string> pages_;  // content streams
  std::vector<std::vector<int>> pageImages_;
  std::vector<Image> images_;
  bool inDoc_ = false;
};

}  // namespace dorv::ui
