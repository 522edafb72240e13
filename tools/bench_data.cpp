// dorv-bench-data: what the data path costs against the wire it serves.
//  (1) decoding 72020 records into the document after a download's last byte,
//  (2) saving and (3) loading that document as CSV, each as a fraction of the
//      wire time of that download at 115200 baud;
//  (4) a download of 5000 records and (5) a whole firmware update from the
//      simulated logger paced at 115200 baud, through the real serial layer,
//      as wall time over wire time; for the download also the CPU time the
//      utility spent against a minimal read-loop client doing the same
//      download from the same simulated logger.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "app/main_window.h"
#include "app/program.h"
#include "bench_logger.h"
#include "files/csv_file.h"
#include "files/firmware_image.h"
#include "platform/port_namespace.h"
#include "simulator/records.h"
#include "ui/application.h"
#include "ui/headless_modals.h"

using namespace dorv;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kBaud = 115200.0;
double WireSeconds(double bytes) {
  return bytes * 10.0 / kBaud;
}
double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The least a program can spend on a download: "D" out, then a poll/read
// loop into one buffer until the closing prompt. Runs on a thread of its own
// while the utility's loop stands still; returns that thread's CPU seconds
// (negative on failure).
double MinimalDownloadCpu(const std::string& port) {
  double cpu = -1;
  std::thread client([&] {
    auto path = platform::PortNamespace::Resolve(port);
    if (!path) return;
    int fd = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    termios saved{}, raw{};
    tcgetattr(fd, &saved);
    raw = saved;
    cfmakeraw(&raw);
    cfsetspeed(&raw, B115200);
    tcsetattr(fd, TCSANOW, &raw);
    tcflush(fd, TCIFLUSH);
    double cpu0 = CpuSeconds(RUSAGE_THREAD);
    char buf[4096];
    bool done = ::write(fd, "D", 1) == 1;
    bool ended = false;
    auto limit = Clock::now() + std::chrono::seconds(120);
    while (done && !ended && Clock::now() < limit) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0) continue;
      ssize_t r = ::read(fd, buf, sizeof buf);
      if (r > 0) ended = buf[r - 1] == '#';
    }
    if (ended) cpu = CpuSeconds(RUSAGE_THREAD) - cpu0;
    tcsetattr(fd, TCSANOW, &saved);
    ::close(fd);
  });
  client.join();
  return cpu;
}

bool RunUntil(const std::function<bool()>& pred, int seconds) {
  return ui::Application()->Loop().RunUntil(pred, std::chrono::seconds(seconds));
}

}  // namespace

int main(int, char** argv) {
  std::string binDir = std::filesystem::path(argv[0]).parent_path().string();
  char tmpl[] = "/tmp/dorv-bench-XXXXXX";
  std::string runtime = mkdtemp(tmpl);
  setenv("DORV_RUNTIME_DIR", runtime.c_str(), 1);

  ui::TApplication app;
  static_cast<ui::HeadlessModals&>(app.Modals()).SetAnswerDelay(std::chrono::milliseconds(0));
  app::CreateForms(app);
  app::TForm1& f = *app::Form1;

  // (1) Decoding a full store, as the download's final prompt does.
  const int kFull = app::kRecordCapacity;
  double fullBytes = 1;  // "D" reply: every line with its CR LF, and the prompt
  {
    auto records = sim::GenerateRecording(kFull, 7, false);
    for (int i = 0; i < kFull; ++i) {
      f.RecordLines[i] = sim::EncodeRecord(records[i], false);
      fullBytes += f.RecordLines[i].size() + 2;
    }
  }
  f.Label15->SetCaption("2015");
  f.Memo1->SetLines({"Start Year=2015 @1G=10", "date time,x(G),y(G),z(G),temperature(C)"});
  f.DataCount = kFull;
  f.Downloading = 1;
  f.SavedHeight = f.Height();
  auto t0 = Clock::now();
  f.CompleteDownload();
  double decode = Since(t0);
  std::printf("decode: %d records in %.1f ms (wire %.1f s)\n", kFull, decode * 1000,
              WireSeconds(fullBytes));

  // (2)/(3) Saving and loading that document.
  std::string csv = runtime + "/bench.csv";
  t0 = Clock::now();
  files::SaveLines(csv, f.Memo1->Lines());
  double save = Since(t0);
  t0 = Clock::now();
  auto loaded = files::LoadLines(csv);
  f.Memo1->SetLines(std::move(loaded));
  double load = Since(t0);
  std::printf("save: %.1f ms, load: %.1f ms (%d lines)\n", save * 1000, load * 1000,
              f.Memo1->Count());

  // (4) A paced download of 5000 records through the serial layer.
  const int kRecords = 5000;
  bench::SimulatedLogger logger;
  if (!logger.Start(binDir,
                    {"--com", "7", "--records", std::to_string(kRecords), "--pace-baud", "115200"}))
    return 1;
  if (!RunUntil([&] { return f.LoggerReady == 1 && f.Timer1->Interval() == 1000; }, 20)) {
    std::fprintf(stderr, "the simulated logger did not answer\n");
    return 1;
  }
  double downloadBytes = 1;
  for (auto& r : sim::GenerateRecording(kRecords, 0, false))
    downloadBytes += sim::EncodeRecord(r, false).size() + 2;
  auto closed = [&] { return f.SerialPort1->PortPhase() == serial::TPortPhase::ppClosed; };
  RunUntil(closed, 5);
  // The logger finishes its second status answer before a person clicks.
  ui::Application()->Loop().RunFor(std::chrono::milliseconds(500));
  t0 = Clock::now();
  double cpu0 = CpuSeconds(RUSAGE_SELF);
  f.Button30Click();
  RunUntil([&] { return f.Downloading == 0; }, 120);
  double download = Since(t0);
  double downloadCpu = CpuSeconds(RUSAGE_SELF) - cpu0;
  std::printf("download: %d records in %.3f s (wire %.3f s), %.3f s of CPU\n", f.RecordCount,
              download, WireSeconds(downloadBytes), downloadCpu);
  RunUntil(closed, 5);
  double minimalCpu = MinimalDownloadCpu("COM7");
  if (minimalCpu <= 0) {
    std::fprintf(stderr, "the minimal client's download failed\n");
    return 1;
  }
  std::printf("the same download by a minimal read loop: %.3f s of CPU\n", minimalCpu);

  // (5) A whole firmware update: every line out and its one-byte answer back,
  // "e" with the loader's greeting and prompt, and "qs" with the restart text.
  auto image = files::FirmwareImageLines();
  double fwBytes = 1 + 20 + 2 + 16;  // "e", its answer, "qs", the restart text
  for (int i = 0; i + 1 < static_cast<int>(image.size()); ++i) fwBytes += image[i].size() + 1;
  RunUntil([&] { return closed() && f.Timer1->Interval() != 0; }, 10);
  t0 = Clock::now();
  f.Button39Click();
  RunUntil([&] { return f.FirmwareUpdating == 1; }, 20);
  RunUntil(
      [&] { return f.FirmwareUpdating == 0 && f.FirmwareWait == app::TForm1::FirmwarePhase::Idle; },
      120);
  double firmware = Since(t0);
  std::printf("firmware: %d lines in %.3f s (wire %.3f s)\n", f.FirmwareLineIndex, firmware,
              WireSeconds(fwBytes));

  std::filesystem::remove_all(runtime);
  std::printf(
      "decode_frac=%.5f save_frac=%.5f load_frac=%.5f download_ratio=%.3f firmware_ratio=%.3f "
      "download_cpu_ratio=%.2f\n",
      decode / WireSeconds(fullBytes), save / WireSeconds(fullBytes), load / WireSeconds(fullBytes),
      download / WireSeconds(downloadBytes), firmware / WireSeconds(fwBytes),
      downloadCpu / minimalCpu);
  return 0;
}
