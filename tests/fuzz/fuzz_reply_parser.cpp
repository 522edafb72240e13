// The receive handler fed a byte stream cut into receive events at chosen
// boundaries, in each of its states.
//
// Input: byte 0 picks the state, byte 1 is a parameter of it, then events,
// each a length byte and that many bytes arriving (the last one takes what is
// left); each event reports the bytes unread so far, as the port does.
// States (byte 0 mod 8): 0 reply lines, 1 the first answer after a wake-up,
// 2 download, 3 monitor, 4 burst, 5 firmware update waiting for the loader,
// 6 firmware update sending lines, 7 firmware update waiting for the restart.
// Parameter bit 7: the reply watchdog ends the exchange after the last event
// when the port is still open.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz_app.h"
#include "ui/exceptions.h"

using dorv::app::TForm1;
using dorv::fuzz::App;

namespace {

void Prepare(TForm1& f, int state, int param) {
  App& app = App::Get();
  f.PendingCmd1.Set((param & 1) ? "p" : "");
  f.FirstQueryPending = (param >> 1) & 1;
  switch (state) {
    case 0:
      break;
    case 1:
      f.LoggerAwake = 0;
      f.LoggerReady = 0;
      break;
    case 2: {
      // A download as the data buttons start it, at its beginning or close
      // to the end of the store.
      app.TouchRecords(dorv::app::kRecordCapacity);
      f.Memo1->Add("Start Year=2015 @1G=10");
      f.Memo1->Add("date time,x(G),y(G),z(G),temperature(C)");
      f.Memo1->Hide();
      f.Downloading = 1;
      f.HasMillisDigit = (param >> 2) & 1;
      // Near the end of the store only now and then: the end of such a
      // download decodes the whole store.
      f.DataCount = (param & 0x78) == 0x78 ? dorv::app::kRecordCapacity - (param & 3) : 0;
      break;
    }
    case 3:
      f.Monitoring = 1;
      f.Memo1->Add("On monitoring");
      break;
    case 4: {
      // A burst as its button starts it: the first reply line kept, rows
      // counted from 1; or one close to its last row. (Long bursts only
      // repeat the same rows, and slowly.)
      static const int kExpected[] = {1, 2, 7, 40, 200, 1000, 2000, 5000};
      f.FastRowsExpected = kExpected[(param >> 2) & 7];
      app.TouchRows(f.FastRowsExpected + 2);  // rows are filled up to one past the last
      f.FastStartText = f.NowText;
      f.Memo1->Add("Start Time=" + f.FastStartText + " @1G=10");
      if (param & 2) f.Memo1->Add("MON X=   -1 Y=    2 Z=   10 tmp=23.45");
      f.FastRowIndex = (param & 0x20) ? std::max(1, f.FastRowsExpected - (param & 3)) : 1;
      f.FastRowColumn = 0;
      f.SavedTimerInterval = (param & 0x40) ? 0 : 1000;
      break;
    }
    case 5:
      f.FirmwareWait = TForm1::FirmwarePhase::WaitLoader;
      break;
    case 6: {
      // After the loader's prompt: lines go out one per answer.
      f.RecordCount = f.Memo2->Count();
      static const int kLine[] = {1, 2, 100};
      int at = (param & 0x60) == 0x60 ? f.RecordCount - 1 - (param & 3) : kLine[(param >> 5) & 3];
      f.FirmwareLineIndex = std::clamp(at, 1, f.RecordCount);
      f.FirmwareUpdating = 1;
      break;
    }
    case 7:
      f.FirmwareWait = TForm1::FirmwarePhase::WaitRestart;
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  App& app = App::Get();
  app.Reset();
  TForm1& f = app.Main();
  const int state = data[0] % 8;
  const int param = data[1];
  Prepare(f, state, param);

  size_t at = 2;
  while (at < size) {
    size_t len = std::min<size_t>(data[at], size - at - 1);
    std::string_view event(reinterpret_cast<const char*>(data + at + 1), len);
    at += 1 + len;
    // Events come only while the port is open: the next exchange opens it,
    // with an empty receive queue.
    if (!f.SerialPort1->Open()) {
      app.Bytes().Clear();
      f.SerialPort1->SetOpen(true);
    }
    app.Bytes().Arrive(event);
    size_t unread = std::min<size_t>(app.Bytes().Unread(), 0xFFFF);
    try {
      f.SerialPort1TriggerAvail(static_cast<unsigned short>(unread));
    } catch (const dorv::ui::Exception&) {
      // Shown by the application's exception display.
    }
  }
  if ((param & 0x80) && f.SerialPort1->Open()) {
    try {
      f.ReplyTimedOut();
    } catch (const dorv::ui::Exception&) {
    }
  }
  return 0;
}
