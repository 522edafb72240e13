// The Qt modal services: each dialog shows what the program asks and hands
// back what the user answered.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "common/process.h"
#include "qtui/modals_qt.h"
#include "ui/exceptions.h"

namespace dorv::qtui::testing {
namespace {

// Answers the next modal dialog once it is open.
class Answerer {
 public:
  explicit Answerer(std::function<void(QWidget*)> answer) : answer_(std::move(answer)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      if (QWidget* w = QApplication::activeModalWidget()) {
        poll_.stop();
        answer_(w);
      }
    });
    poll_.start(10);
  }

 private:
  std::function<void(QWidget*)> answer_;
  QTimer poll_;
};

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
       {"CSV files (*.csv) (*.CSV)"},
       true,
       dir.path + "/saved.csv"},
      {{false, "開く", "text|*.csv|all|*.*", "csv", "", dir.path, ui::ofFileMustExist},
       existing,
       QFileDialog::AcceptOpen,
       QFileDialog::ExistingFile,
       false,
       {"text (*.csv)", "all (*.*)"},
       true,
       existing},
      {{true, "", "CSV files (*.csv)|*.CSV", "csv", "x", dir.path, 0},
       "",
       QFileDialog::AcceptSave,
       QFileDialog::AnyFile,
       false,
       {"CSV files (*.csv) (*.CSV)"},
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
      if (c.answer.empty()) {
        seen->reject();
      } else {
        seen->selectFile(Q(c.answer));
        static_cast<QDialog*>(seen)->accept();
      }
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
