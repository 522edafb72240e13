// Downloading the recorded data into the document, saving and loading it as
// CSV, and handing it to the graph window.
#include <algorithm>
#include <cctype>
#include <cstdint>

#include "app/main_window.h"
#include "files/csv_file.h"
#include "platform/shell.h"
#include "serial/serial_port.h"
#include "ui/application.h"
#include "ui/text.h"
#include "viewer/graph_window.h"

namespace dorv::app {

namespace {
const char* const kHeaderA = "date time,x(G),y(G),z(G),temperature(C)";
const char* const kHeaderB = "Date,Xaxis,Yaxis,Zaxis,Temp";
const char* const kIrregularLine = "//↓Irregular Record //";
constexpr int kGraphLines = 20000;      // lines the graph takes
constexpr size_t kGraphLineWidth = 63;  // characters of a handed-over line
}  // namespace

void TForm1::StartDownload(const char* command, bool withDivisor, const char* header2, int height,
                           bool setSource) {
  if (!Ready()) return;
  Timer1->SetInterval(0);
  Memo1->Clear();
  Memo1->Hide();
  ProgressBar1->Show();
  DownloadStart = ui::Application()->Now();
  std::string header1 = "Start Year=" + Label15->Caption();
  if (withDivisor) header1 += " @1G=" + std::to_string(ThresholdDivisor);
  Memo1->Add(ui::Utf8ToCp932(header1));
  Memo1->Add(header2);
  LineBuf.Clear();
  LineLen = 0;
  SavedHeight = Height();
  if (height > 0) SetHeight(height);
  if (setSource) DataSourceName = ComboBox5->Text() + Label18->Caption();
  SerialPort1->SetOpen(true);
  SerialPort1->FlushInBuffer();
  Send(command);
  Downloading = 1;
  DataCount = 0;
  DroppedRecords = 0;
}

void TForm1::Button30Click() {
  StartDownload("D", true, kHeaderA, ProgressBar1->Top() + 45, true);
}
void TForm1::Button47Click() {
  StartDownload("C", true, kHeaderA, 160, true);
}
void TForm1::Button3Click() {
  StartDownload("G", false, kHeaderA, 160, false);
}
void TForm1::Button28Click() {
  StartDownload("G", false, kHeaderB, 0, false);
}

void TForm1::CompleteDownload() {
  Downloading = 0;
  // The year the logger reported; a caption that is not a number gives 0
  // rather than losing the download to a conversion error.
  DecodeYear = ui::StrToIntDef(Label15->Caption(), 0);
  Decode = link::RecordDecodeState{};
  const std::string marker = ui::Utf8ToCp932(kIrregularLine);
  int count = DataCount < kRecordCapacity ? DataCount : kRecordCapacity;
  Memo1->BeginUpdate();
  for (int i = 0; i < count; ++i) {
    LineBuf.Set(RecordLines[i]);
    // The received line is needed no more once decoded: the document holds
    // the record now.
    std::string().swap(RecordLines[i]);
    bool irregular = link::DecodeRecord(LineBuf, DecodeYear, HasMillisDigit, Decode);
    if (irregular) Memo1->Add(marker);
    Memo1->Add(LineBuf.Str());
    // The count is the logger's and may be the largest int: reckoned wider.
    long long p = static_cast<long long>(DataCount) + 2 - i;
    if (p % 100 == 0)
      ProgressBar1->SetPosition(static_cast<int>(std::min<long long>(p, INT32_MAX)));
  }
  Memo1->EndUpdate();
  platform::ReleaseFreedMemory();  // the received lines' blocks
  RecordCount = count;
  auto& modals = ui::Application()->Modals();
  if (Decode.IrregularSeen == 1) modals.ShowMessage("時間不整合");
  if (DroppedRecords > 0)
    modals.ShowMessage(ui::Format("データ数不具合: %d件を超える%d件は取り込めません",
                                  kRecordCapacity, DroppedRecords));
  ProgressBar1->Hide();
  DownloadElapsed = ui::Application()->Now() - DownloadStart;
  auto elapsed = ui::DecodeDateTime(DownloadElapsed);
  Label33->SetCaption(ui::Format("%drec %dsec", RecordCount, elapsed.minute * 60 + elapsed.second));
  SetHeight(SavedHeight);
  Memo1->Show();
}

void TForm1::Button6Click() {
  SaveDialog1->Options = ui::ofOverwritePrompt;
  SaveDialog1->FileName = "DORV" + Label18->Caption();
  SaveDialog1->Filter = "CSV files (*.csv)|*.CSV";
  if (!SaveDialog1->Execute()) return;
  files::SaveLines(files::CsvSaveName(SaveDialog1->FileName), Memo1->Lines());
}

void TForm1::Button27Click() {
  SaveDialog1->Options |= ui::ofOverwritePrompt;
  SaveDialog1->FileName = "Config-dorv" + Label18->Caption() + ".txt";
  // Its own filter, rather than whatever the last save used.
  SaveDialog1->Filter = "Text files (*.txt)|*.TXT|All files (*.*)|*.*";
  if (!SaveDialog1->Execute()) return;
  files::SaveLines(SaveDialog1->FileName, Memo1->Lines());
}

void TForm1::Button11Click() {
  OpenDialog1->Options = ui::ofFileMustExist;
  OpenDialog1->Filter = "text|*.csv";
  OpenDialog1->DefaultExt = "csv";
  bool accepted = OpenDialog1->Execute();
  DataSourceName = OpenDialog1->FileName;
  if (!accepted) return;
  // Read first: a failed load leaves the document as it was.
  Memo1->SetLines(files::LoadLines(OpenDialog1->FileName));
}

void TForm1::Button12Click() {
  // A document that is no data (an empty or a binary file loaded) is said,
  // rather than the button doing nothing.
  if (Memo1->Count() == 0) {
    ui::Application()->Modals().ShowMessage("グラフにできるデータがありません: 文書が空です");
    return;
  }
  if (Memo1->Line(0).rfind("Start", 0) != 0) {
    ui::Application()->Modals().ShowMessage(
        "グラフにできるデータがありません: 1行目が \"Start\" で始まっていません");
    return;
  }
  // The counts per G from the header's "@1G=" (a burst header has its "@"
  // too far along and keeps the divisor); 0 is no divisor and is refused.
  const std::string& head = Memo1->Line(0);
  size_t at = head.find('@', 4);
  if (at != std::string::npos && at < 20) {
    int v = 0, digits = 0;
    for (size_t k = at + 4; k < head.size() && digits < 2 && std::isdigit((unsigned char)head[k]);
         ++k, ++digits)
      v = v * 10 + (head[k] - '0');
    if (digits > 0 && v > 0) ThresholdDivisor = v;
  }
  RecordCount = Memo1->Count() < kGraphLines ? Memo1->Count() : kGraphLines;
  for (int k = 0; k < RecordCount; ++k) {
    std::string line(Memo1->Lines()[k].substr(0, kGraphLineWidth));
    // A four-character fraction becomes the three-character one the graph reads.
    if (line.size() > 24 && line[24] == ',') line.erase(22, 1);
    RecordLines[k] = line;
  }
  viewer::Form2->Close();
  viewer::Form2->SetBounds(viewer::Form2->Left(), viewer::Form2->Top(), viewer::kGraphWindowWidth,
                           viewer::kGraphWindowHeight);
  viewer::Form2->Show();
}

}  // namespace dorv::app
