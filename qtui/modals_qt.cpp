#include "qtui/modals_qt.h"

#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageLayout>
#include <QPrintDialog>
#include <QRegularExpression>

#include "ui/exceptions.h"

namespace dorv::qtui {

QWidget* ModalParent() {
  if (QWidget* w = QApplication::activeModalWidget()) return w;
  if (QWidget* w = QApplication::activeWindow()) return w;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && !w->isModal()) return w;
  return nullptr;
}

QStringList QtNameFilters(const std::string& filter) {
  // "description|masks|..." pairs. A description that already shows its
  // patterns in brackets ("CSV files (*.csv)") loses them, so that the
  // dialog does not show two lists; the masks are matched in either case,
  // as the system the filters were written for does.
  static const QRegularExpression shownPatterns(R"(\s*\([^()]*\)\s*$)");
  QStringList parts = Q(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    description.remove(shownPatterns);
    QStringList masks;
    for (const QString& mask : parts[i + 1].split(';', Qt::SkipEmptyParts))
      for (const QString& variant : {mask.toLower(), mask, mask.toUpper()})
        if (!masks.contains(variant)) masks << variant;
    out << description + " (" + masks.join(' ') + ")";
  }
  return out;
}

QtModals::QtModals(std::function<std::string()> title) : title_(std::move(title)) {}

void QtModals::DoShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, Q(title_()), Q(text), QMessageBox::Ok, ModalParent());
  box.exec();
}

bool QtModals::DoConfirm(const std::string& text) {
  // Escape and closing the box count as Cancel.
  QMessageBox box(QMessageBox::NoIcon, Q(title_()), Q(text), QMessageBox::Ok | QMessageBox::Cancel,
                  ModalParent());
  box.setEscapeButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Ok;
}

void QtModals::DoShowException(const std::string& message) {
  // As the toolkit's exception display does: a full stop unless the message
  // already ends with punctuation.
  QString text = Q(message);
  if (!text.isEmpty() && text.back() > QChar('.')) text += '.';
  QMessageBox box(QMessageBox::Critical, Q(title_()), text, QMessageBox::Ok, ModalParent());
  box.exec();
}

bool QtModals::DoInputQuery(const std::string& caption, const std::string& prompt,
                            std::string& value) {
  QInputDialog dialog(ModalParent());
  dialog.setWindowTitle(Q(caption));
  dialog.setLabelText(Q(prompt));
  dialog.setTextValue(Q(value));
  dialog.setInputMode(QInputDialog::TextInput);
  if (dialog.exec() != QDialog::Accepted) return false;
  value = U8(dialog.textValue());
  return true;
}

bool QtModals::DoFileDialog(ui::FileDialogRequest& req) {
  QFileDialog dialog(ModalParent());
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  if (!req.title.empty()) dialog.setWindowTitle(Q(req.title));
  dialog.setAcceptMode(req.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (req.save)
    dialog.setFileMode(QFileDialog::AnyFile);
  else
    dialog.setFileMode((req.options & ui::ofFileMustExist) ? QFileDialog::ExistingFile
                                                           : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !(req.options & ui::ofOverwritePrompt));
  QStringList filters = QtNameFilters(req.filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  if (!req.defaultExt.empty()) dialog.setDefaultSuffix(Q(req.defaultExt));
  if (!req.initialDir.empty()) dialog.setDirectory(Q(req.initialDir));
  if (!req.fileName.empty()) dialog.selectFile(Q(req.fileName));
  if (dialog.exec() != QDialog::Accepted) return false;
  QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  req.fileName = U8(chosen.first());
  return true;
}

std::unique_ptr<ui::TPrinter> QtModals::DoPrintDialog() {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  QPrintDialog dialog(printer.get(), ModalParent());
  if (dialog.exec() != QDialog::Accepted) return nullptr;
  return std::make_unique<QtPrinter>(std::move(printer));
}

// ---- QtPrinter ----

QtPrinter::QtPrinter(std::unique_ptr<QPrinter> printer)
    : printer_(std::move(printer)), canvas_(std::make_unique<QPainterCanvas>(painter_)) {}

QtPrinter::~QtPrinter() {
  if (painter_.isActive()) painter_.end();
}

void QtPrinter::BeginDoc() {
  failed_ = !painter_.begin(printer_.get());
}

void QtPrinter::NewPage() {
  if (painter_.isActive() && !printer_->newPage()) failed_ = true;
}

void QtPrinter::EndDoc() {
  bool ok = !failed_ && painter_.isActive() && painter_.end();
  if (printer_->printerState() == QPrinter::Error) ok = false;
  if (!ok) {
    std::string where = printer_->outputFileName().isEmpty() ? U8(printer_->printerName())
                                                             : U8(printer_->outputFileName());
    throw ui::Exception("印刷できません: " + where);
  }
}

ui::TCanvas& QtPrinter::Canvas() {
  return *canvas_;
}

int QtPrinter::DotsPerInch() const {
  return printer_->resolution();
}

int QtPrinter::PageWidth() const {
  return printer_->pageLayout().paintRectPixels(printer_->resolution()).width();
}

int QtPrinter::PageHeight() const {
  return printer_->pageLayout().paintRectPixels(printer_->resolution()).height();
}

void QtPrinter::DrawImage(int x, int y, int w, int h, int imgW, int imgH,
                          const std::vector<unsigned char>& rgb) {
  DrawRgbImage(painter_, x, y, w, h, imgW, imgH, rgb);
}

}  // namespace dorv::qtui
