// The Qt modal services: each dialog shows what the program asks and hands
// back what the user answered.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "common/process.h"
#include "qtui/modals_qt.h"
#include "ui/exceptions.h"

namespace dorv::qtui::testing {
namespace {

// Answers every modal dialog that opens while it lives, as a user would:
// each dialog through `answer` as soon as it is the active modal widget,
// again when it is still open a while after its answer (a refused accept, a
// file-system model that had not caught up), and a nested box the same way.
// A dialog still open after the limit fails the test and is closed, so that
// no test waits for good.
class Answerer {
 public:
  explicit Answerer(std::function<void(QWidget*)> answer,
                    std::chrono::milliseconds limit = std::chrono::seconds(30))
      : answer_(std::move(answer)), limit_(limit) {
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
    poll_.start(10);
    started_.start();
  }
  int answers() const { return answers_; }

 private:
  void Poll() {
    QWidget* w = QApplication::activeModalWidget();
    if (!w) return;
    if (started_.elapsed() > limit_.count()) {
      ADD_FAILURE() << "a modal " << w->metaObject()->className() << " (\""
                    << w->windowTitle().toStdString() << "\") was still open after "
                    << limit_.count() << " ms";
      if (auto* d = qobject_cast<QDialog*>(w))
        d->reject();
      else
        w->close();
      return;
    }
    if (w == last_ && sinceAnswer_.elapsed() < 300) return;
    last_ = w;
    sinceAnswer_.start();
    ++answers_;
    // From a call of its own: a dialog's answer may open a nested box that
    // runs its own loop, and the poll must go on meanwhile (a timer is not
    // fired again while its own handler runs).
    QTimer::singleShot(0, &poll_, [this, dialog = QPointer<QWidget>(w)] {
      if (dialog) answer_(dialog);
    });
  }

  std::function<void(QWidget*)> answer_;
  std::chrono::milliseconds limit_;
  QTimer poll_;
  QElapsedTimer started_, sinceAnswer_;
  QWidget* last_ = nullptr;
  int answers_ = 0;
};

// What a user does in an open or save dialog: types the name into its name
// box and presses the accept button. (selectFile on an open dialog whose
// name box has the focus only selects the file in the list, which stays
// empty until the dialog's file-system model has read the folder.)
void TypeFileNameAndAccept(QFileDialog* dialog, const std::string& path) {
  auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(name, nullptr);
  name->setText(Q(path));
  static_cast<QDialog*>(dialog)->accept();
}

QtModals Modals() {
  return QtModals([] { return std::string("DORV_UPDATER"); });
}

TEST(QtModals, InformationBoxAndExceptionDisplayHaveAnOkButtonOnly) {
  struct Case {
    bool exception;
    const char* text;
    const char* shown;
    QMessageBox::Icon icon;
  } cases[] = {
      {false, "時間不整合", "時間不整合", QMessageBox::NoIcon},
      {true, "'abc' は整数ではありません", "'abc' は整数ではありません.", QMessageBox::Critical},
      {true, "Serial layer exception.", "Serial layer exception.", QMessageBox::Critical},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.text);
    QString title, text;
    int buttons = 0;
    QMessageBox::Icon icon{};
    Answerer answer([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = static_cast<int>(box->buttons().size());
      box->button(QMessageBox::Ok)->click();
    });
    auto modals = Modals();
    if (c.exception)
      modals.ShowException(c.text);
    else
      modals.ShowMessage(c.text);
    EXPECT_EQ(title, "DORV_UPDATER");
    EXPECT_EQ(text, c.shown);
    EXPECT_EQ(icon, c.icon);
    EXPECT_EQ(buttons, 1);
  }
}

TEST(QtModals, ConfirmationBoxHasOkAndCancel) {
  struct Case {
    const char* what;
    std::function<void(QMessageBox*)> answer;
    bool ok;
  } cases[] = {
      {"OK", [](QMessageBox* b) { b->button(QMessageBox::Ok)->click(); }, true},
      {"Cancel", [](QMessageBox* b) { b->button(QMessageBox::Cancel)->click(); }, false},
      {"closed", [](QMessageBox* b) { b->reject(); }, false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    QString title, text;
    int buttons = 0;
    Answerer answer([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      title = box->windowTitle();
      text = box->text();
      buttons = static_cast<int>(box->buttons().size());
      c.answer(box);
    });
    auto modals = Modals();
    EXPECT_EQ(modals.Confirm("ファームウェアの書き換えをします。"), c.ok);
    EXPECT_EQ(title, "DORV_UPDATER");
    EXPECT_EQ(text, "ファームウェアの書き換えをします。");
    EXPECT_EQ(buttons, 2);
  }
}

TEST(QtModals, PromptReturnsTheTypedTextOrCancel) {
  auto modals = Modals();
  QString title, label, initial;
  {
    Answerer answer([&](QWidget* w) {
      auto* d = qobject_cast<QInputDialog*>(w);
      ASSERT_NE(d, nullptr);
      title = d->windowTitle();
      label = d->labelText();
      initial = d->textValue();
      d->setTextValue("2026/12/24 09:30");
      d->accept();
    });
    std::string value = "2026/12/10 00:00";
    EXPECT_TRUE(modals.InputQuery("予約", "開始日時を入力", value));
    EXPECT_EQ(value, "2026/12/24 09:30");
  }
  EXPECT_EQ(title, "予約");
  EXPECT_EQ(label, "開始日時を入力");
  EXPECT_EQ(initial, "2026/12/10 00:00");
  {
    Answerer answer([](QWidget* w) {
      qobject_cast<QInputDialog*>(w)->setTextValue("x");
      qobject_cast<QDialog*>(w)->reject();
    });
    std::string value = "keep";
    EXPECT_FALSE(modals.InputQuery("予約", "開始日時を入力", value));
    EXPECT_EQ(value, "keep");
  }
}

TEST(QtModals, FileDialogsTakeFilterExtensionNameAndOptions) {
  dorv::testing::TempDir dir;
  std::string existing = dir.path + "/data.csv";
  std::ofstream(existing) << "Start Year=2026\r\n";
  struct Case {
    ui::FileDialogRequest req;
    std::string answer;  // empty: cancel
    QFileDialog::AcceptMode mode;
    QFileDialog::FileMode fileMode;
    bool confirmOverwrite;
    QStringList filters;
    bool accepted;
    std::string chosen;
  } cases[] = {
      {{true, "", "CSV files (*.csv)|*.CSV", "csv", "dorv", dir.path, ui::ofOverwritePrompt},
       dir.path + "/saved.csv",
       QFileDialog::AcceptSave,
       QFileDialog::AnyFile,
       true,
       {"CSV files (*.csv *.CSV)"},
       true,
       dir.path + "/saved.csv"},
      {{false, "開く", "text|*.csv|all|*.*", "csv", "", dir.path, ui::ofFileMustExist},
       existing,
       QFileDialog::AcceptOpen,
       QFileDialog::ExistingFile,
       false,
       {"text (*.csv *.CSV)", "all (*.*)"},
       true,
       existing},
      {{true, "", "CSV files (*.csv)|*.CSV", "csv", "x", dir.path, 0},
       "",
       QFileDialog::AcceptSave,
       QFileDialog::AnyFile,
       false,
       {"CSV files (*.csv *.CSV)"},
       false,
       "x"},
  };
  auto modals = Modals();
  for (auto& c : cases) {
    SCOPED_TRACE(c.req.filter);
    QFileDialog* seen = nullptr;
    QFileDialog::AcceptMode mode{};
    QFileDialog::FileMode fileMode{};
    bool confirm = false;
    QStringList filters;
    QString suffix, title;
    Answerer answer([&](QWidget* w) {
      seen = qobject_cast<QFileDialog*>(w);
      ASSERT_NE(seen, nullptr);
      mode = seen->acceptMode();
      fileMode = seen->fileMode();
      confirm = !seen->testOption(QFileDialog::DontConfirmOverwrite);
      filters = seen->nameFilters();
      suffix = seen->defaultSuffix();
      title = seen->windowTitle();
      if (c.answer.empty())
        seen->reject();
      else
        TypeFileNameAndAccept(seen, c.answer);
    });
    bool accepted = modals.FileDialog(c.req);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(mode, c.mode);
    EXPECT_EQ(fileMode, c.fileMode);
    EXPECT_EQ(confirm, c.confirmOverwrite);
    EXPECT_EQ(filters, c.filters);
    EXPECT_EQ(suffix, "csv");
    if (!c.req.title.empty()) {
      EXPECT_EQ(title, Q(c.req.title));
    }
    EXPECT_EQ(accepted, c.accepted);
    EXPECT_EQ(c.req.fileName, c.chosen);
  }
}

// The open dialog refuses a name that does not exist with a box of its own;
// the answerer answers that box, then the dialog again (with cancel).
TEST(QtModals, AnswererAnswersANestedBoxAndTheDialogAgain) {
  dorv::testing::TempDir dir;
  ui::FileDialogRequest req{false, "開く", "text|*.csv", "csv", "", dir.path, ui::ofFileMustExist};
  std::vector<std::string> seen;
  int fileDialogAnswers = 0;
  Answerer answer([&](QWidget* w) {
    seen.push_back(w->metaObject()->className());
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      EXPECT_TRUE(box->text().contains("missing.csv")) << box->text().toStdString();
      box->accept();
    } else if (auto* d = qobject_cast<QFileDialog*>(w)) {
      if (fileDialogAnswers++ == 0)
        TypeFileNameAndAccept(d, dir.path + "/missing.csv");
      else
        d->reject();
    }
  });
  EXPECT_FALSE(Modals().FileDialog(req));
  EXPECT_EQ(seen, (std::vector<std::string>{"QFileDialog", "QMessageBox", "QFileDialog"}));
}

TEST(QtModals, PrintDialogGivesAPrinterOrNothing) {
  auto modals = Modals();
  {
    Answerer answer([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    EXPECT_EQ(modals.PrintDialog(), nullptr);
  }
  {
    bool wasPrintDialog = false;
    Answerer answer([&](QWidget* w) {
      wasPrintDialog = qobject_cast<QPrintDialog*>(w) != nullptr;
      qobject_cast<QDialog*>(w)->accept();
    });
    auto printer = modals.PrintDialog();
    EXPECT_TRUE(wasPrintDialog);
    ASSERT_NE(printer, nullptr);
    EXPECT_GT(printer->DotsPerInch(), 0);
    EXPECT_GT(printer->PageWidth(), 0);
  }
}

TEST(QtPrinter, WritesLinesTextsAndImagesAsPagesAndReportsAFailure) {
  dorv::testing::TempDir dir;
  auto pdf = [](const std::string& path) {
    auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
    p->setOutputFormat(QPrinter::PdfFormat);
    p->setOutputFileName(Q(path));
    return p;
  };
  std::string path = dir.path + "/graph.pdf";
  QtPrinter printer(pdf(path));
  printer.BeginDoc();
  ui::TCanvas& c = printer.Canvas();
  c.PenColor = ui::clBlue;
  c.DrawLine(0, 0, printer.PageWidth() / 2, printer.PageHeight() / 2);
  c.Font.Height = printer.DotsPerInch() / 6;
  c.TextOut(100, 100, "計算結果 start= 3end=412");
  EXPECT_GT(c.TextWidth("計算結果"), c.TextWidth("ab"));
  std::vector<unsigned char> rgb(4 * 2 * 3, 200);
  printer.DrawImage(100, 400, 800, 400, 4, 2, rgb);
  printer.NewPage();
  c.DrawLine(0, 0, 100, 100);
  EXPECT_NO_THROW(printer.EndDoc());
  QFile file(Q(path));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QByteArray data = file.readAll();
  EXPECT_TRUE(data.startsWith("%PDF"));
  EXPECT_EQ(data.count("/Type /Page\n") + data.count("/Type /Page\r") + data.count("/Type /Page "),
            2);

  QtPrinter broken(pdf(dir.path + "/no/such/dir/graph.pdf"));
  broken.BeginDoc();
  broken.Canvas().DrawLine(0, 0, 10, 10);
  EXPECT_THROW(broken.EndDoc(), ui::Exception);
}

}  // namespace
}  // namespace dorv::qtui::testing
