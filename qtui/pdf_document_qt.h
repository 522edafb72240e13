#pragma once
// The report's PDF writer: a QPdfWriter page (A4, portrait) drawn through the
// toolkit's canvas, with vector lines and embedded, searchable text.
#include <QPainter>
#include <QPdfWriter>
#include <memory>
#include <string>

#include "qtui/canvas_qt.h"
#include "ui/modal.h"

namespace dorv::qtui {

class QtPdfDocument : public ui::TPrinter {
 public:
  explicit QtPdfDocument(const std::string& path, int dpi = 300);
  ~QtPdfDocument() override;
  void BeginDoc() override;
  void NewPage() override;
  void EndDoc() override;
  ui::TCanvas& Canvas() override { return *canvas_; }
  int DotsPerInch() const override;
  int PageWidth() const override;
  int PageHeight() const override;
  void DrawImage(int x, int y, int w, int h, int imgW, int imgH,
                 const std::vector<unsigned char>& rgb) override;

 private:
  std::string path_;
  std::unique_ptr<QPdfWriter> writer_;
  QPainter painter_;
  std::unique_ptr<QPainterCanvas> canvas_;
  bool failed_ = false;
};

// Makes QtPdfDocument the program's PDF writer (ui::SetPdfDocumentWriter).
void InstallPdfDocumentWriter();

}  // namespace dorv::qtui
