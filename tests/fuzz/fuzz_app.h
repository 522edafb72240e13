#pragma once
// What the fuzz targets that drive the windows share: the program's six
// windows created once per process, headless, as the start-up creates them,
// with an in-memory registry and a private runtime directory, and the main
// window put back into a known state before every input.
//
// The main window's port is held in its loading state, where opening and
// closing only set its Open flag, and its byte stream is replaced by one the
// target feeds: no device is touched and nothing written goes anywhere.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/program.h"
#include "app/main_window.h"
#include "platform/registry.h"
#include "ui/application.h"
#include "ui/headless_modals.h"
#include "viewer/graph_window.h"
#include "viewer/statistics_window.h"
#include "dialogs/reservation_dialog.h"

namespace dorv::fuzz {

// The receive queue of the main window's port, filled a receive event at a
// time; what a handler leaves unread stays for the next event, and a closed
// port has nothing ready (reopened, it starts empty). Writes are dropped.
class EventBytes : public app::ByteSource {
 public:
  void Arrive(std::string_view bytes) { queue_.append(bytes); }
  void Clear() {
    queue_.clear();
    read_ = 0;
  }
  size_t Unread() const { return queue_.size() - read_; }
  bool CharReady() override { return Unread() > 0 && app::Form1->SerialPort1->Open(); }
  char GetChar() override {
    if (Unread() == 0) return '\0';
    char c = queue_[read_++];
    if (read_ == queue_.size()) Clear();
    return c;
  }
  void PutString(const std::string&) override {}

 private:
  std::string queue_;
  size_t read_ = 0;
};

class App {
 public:
  static App& Get() {
    static App app;
    return app;
  }

  ui::TApplication& Application() { return *app_; }
  ui::HeadlessModals& Modals() { return static_cast<ui::HeadlessModals&>(app_->Modals()); }
  EventBytes& Bytes() { return bytes_; }
  app::TForm1& Main() { return *app::Form1; }
  const std::string& RuntimeDir() const { return runtime_; }

  // The main window as after its creation and a first answer of the logger
  // (connected, idle), the other windows hidden, nothing shown so far.
  void Reset() {
    app::TForm1& f = Main();
    f.SerialPort1->SetOpen(false);
    bytes_.Clear();
    f.LoggerReady = 0;  // no setting handler sends while the displays reset
    f.CheckBox2->SetChecked(false);
    f.CheckBox2State = 0;
    f.LoggerAwake = 1;
    f.LoggerReady = 1;
    f.AutoConnectDone = 1;
    f.FirstQueryPending = 0;
    f.LineBuf.Clear();
    f.LineLen = 0;
    f.PendingCmd1.Clear();
    f.PendingCmd2.Clear();
    f.PendingCmd3.Clear();
    f.MonitorExtraCmd.Clear();
    f.Monitoring = 0;
    f.MonitorRequestOpen = 0;
    f.MonitorStartPending = 0;
    f.Downloading = 0;
    f.FirmwareUpdating = 0;
    f.FirmwareWait = app::TForm1::FirmwarePhase::Idle;
    f.FirmwareLineIndex = 0;
    f.FirmwareRejected = 0;
    f.FastRowIndex = 0;
    f.FastRowsExpected = 0;
    f.FastRowColumn = 0;
    f.SavedTimerInterval = 1000;
    f.ModeBits = 0;
    f.ThresholdDivisor = 10;
    f.ThresholdRaw = 0;
    f.IntervalIndex = 0;
    f.HasMillisDigit = 0;
    f.RecordCount = 0;
    f.DataCount = 0;
    f.DroppedRecords = 0;
    f.ReserveState = 0;
    f.Label15->SetCaption("2015");
    f.Memo1->Clear();
    f.Memo1->Show();
    f.Timer1->SetInterval(0);  // the loop never runs here; no tick either way
    // What a previous input left in the stores (only what it wrote).
    for (int i = 0; i < touchedRecords_; ++i) f.RecordLines[i].clear();
    for (int i = 0; i < touchedRows_; ++i) f.FastRows[i] = {};
    touchedRecords_ = 0;
    touchedRows_ = 0;
    viewer::Form2->Hide();
    viewer::Form4->Hide();
    dialogs::Form5->Hide();
    Modals().Clear();
  }
  // Marks the stores as written up to these counts (cleared at the next Reset).
  void TouchRecords(int n) { touchedRecords_ = std::max(touchedRecords_, n); }
  void TouchRows(int n) { touchedRows_ = std::max(touchedRows_, n); }

 private:
  App() {
    char dir[] = "/tmp/dorv-fuzz-XXXXXX";
    runtime_ = mkdtemp(dir) ? dir : "/tmp";
    setenv("DORV_RUNTIME_DIR", runtime_.c_str(), 1);
    app::TForm1::RegistryFactory = [] { return std::make_unique<platform::MemoryRegistry>(); };
    app_ = std::make_unique<ui::TApplication>();
    Modals().SetAnswerDelay(std::chrono::milliseconds(0));
    app::CreateForms(*app_);
    app::Form1->SerialPort1->SetOpen(false);
    app::Form1->SerialPort1->BeginLoading();
    app::Form1->Bytes = &bytes_;
    touchedRecords_ = app::kRecordCapacity;
    touchedRows_ = app::kRecordCapacity;
    Reset();
  }
  ~App() {
    app_.reset();
    std::error_code ec;
    if (runtime_ != "/tmp") std::filesystem::remove_all(runtime_, ec);
  }

  std::string runtime_;
  std::unique_ptr<ui::TApplication> app_;
  EventBytes bytes_;
  int touchedRecords_ = 0;
  int touchedRows_ = 0;
};

}  // namespace dorv::fuzz
