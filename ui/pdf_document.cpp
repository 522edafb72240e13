#include "ui/pdf_document.h"

#include "ui/exceptions.h"

namespace dorv::ui {

namespace {
PdfDocumentWriter& Writer() {
  static PdfDocumentWriter writer;
  return writer;
}
}  // namespace

void SetPdfDocumentWriter(PdfDocumentWriter writer) {
  Writer() = std::move(writer);
}

bool HavePdfDocumentWriter() {
  return static_cast<bool>(Writer());
}

void RequirePdfDocumentWriter() {
  if (!Writer())
    throw Exception(
        "PDFレポートを作成できません: このプログラムは画面なしで動いているため PDF を書けません"
        " (画面版の dorv-updater で作成してください)");
}

std::unique_ptr<TPrinter> OpenPdfDocument(const std::string& path) {
  RequirePdfDocumentWriter();
  return Writer()(path);
}

}  // namespace dorv::ui
