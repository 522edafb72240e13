// The main window's export: the document as a UTF-8 CSV with named columns
// and a JSON of the logger's identity beside it (files/export_csv.h).
#include "app/logger_identity.h"
#include "app/main_window.h"
#include "files/csv_file.h"
#include "files/export_csv.h"
#include "ui/application.h"

namespace dorv::app {

void TForm1::Button53Click() {
  auto& modals = ui::Application()->Modals();
  if (Memo1->Count() == 0) {
    modals.ShowMessage("エクスポートできるデータがありません: 文書が空です");
    return;
  }
  SaveDialog1->Options = ui::ofOverwritePrompt;
  // Its own name, so that the legacy file of the same data is not replaced.
  SaveDialog1->FileName = "DORV" + Label18->Caption() + "-export";
  SaveDialog1->Filter = "CSV files (*.csv)|*.CSV";
  if (!SaveDialog1->Execute()) return;
  const std::string path = files::CsvSaveName(SaveDialog1->FileName);
  const files::ExportSummary summary =
      files::WriteExport(path, Memo1->Lines(), ThresholdDivisor, LoggerIdentityOf(*this));
  if (summary.records == 0)
    modals.ShowMessage("エクスポートしましたが、データ行がありません: " + path);
}

}  // namespace dorv::app
