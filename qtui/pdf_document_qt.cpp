#include "qtui/pdf_document_qt.h"

#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>

#include "ui/exceptions.h"
#include "ui/pdf_document.h"

namespace dorv::qtui {

QtPdfDocument::QtPdfDocument(const std::string& path, int dpi)
    : path_(path),
      writer_(std::make_unique<QPdfWriter>(Q(path))),
      canvas_(std::make_unique<QPainterCanvas>(painter_)) {
  writer_->setResolution(dpi);
  writer_->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
  writer_->setCreator("DORV logger utility");
  writer_->setTitle("DORV graph report");
}

QtPdfDocument::~QtPdfDocument() {
  if (painter_.isActive()) painter_.end();
}

void QtPdfDocument::BeginDoc() {
  // QPdfWriter opens its file only when painting starts; a folder that does
  // not take the file shows here.
  failed_ = !painter_.begin(writer_.get());
}

void QtPdfDocument::NewPage() {
  if (painter_.isActive() && !writer_->newPage()) failed_ = true;
}

void QtPdfDocument::EndDoc() {
  const bool ok = !failed_ && painter_.isActive() && painter_.end();
  // The writer reports no write error of its own: the file must be there
  // and hold a whole document.
  QFile written(Q(path_));
  if (!ok || !written.exists() || written.size() == 0)
    throw ui::Exception("PDFファイルを書けません: " + path_ +
                        " (フォルダーに書き込めるか、空きがあるかを確かめてください)");
}

int QtPdfDocument::DotsPerInch() const {
  return writer_->resolution();
}

int QtPdfDocument::PageWidth() const {
  return writer_->pageLayout().paintRectPixels(writer_->resolution()).width();
}

int QtPdfDocument::PageHeight() const {
  return writer_->pageLayout().paintRectPixels(writer_->resolution()).height();
}

void QtPdfDocument::DrawImage(int x, int y, int w, int h, int imgW, int imgH,
                              const std::vector<unsigned char>& rgb) {
  DrawRgbImage(painter_, x, y, w, h, imgW, imgH, rgb);
}

void InstallPdfDocumentWriter() {
  ui::SetPdfDocumentWriter(
      [](const std::string& path) { return std::make_unique<QtPdfDocument>(path); });
}

}  // namespace dorv::qtui
