// A CSV file loaded as the open button loads it, then the graph button: the
// document handed to the graph window, parsed and painted.
//
// Input: the file's bytes.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_app.h"
#include "files/csv_file.h"
#include "ui/canvas.h"
#include "ui/exceptions.h"

using dorv::fuzz::App;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  App& app = App::Get();
  app.Reset();
  auto& f1 = app.Main();
  static const std::string path = app.RuntimeDir() + "/loaded.csv";
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return 0;
  bool written = write(fd, data, size) == static_cast<ssize_t>(size);
  close(fd);
  if (!written) return 0;

  try {
    f1.Memo1->SetLines(dorv::files::LoadLines(path));
  } catch (const dorv::ui::Exception&) {
    return 0;
  }
  try {
    f1.Button12Click();
  } catch (const dorv::ui::Exception&) {
    // Shown by the application's exception display.
  }
  app.TouchRecords(f1.RecordCount);
  if (dorv::viewer::Form2->Visible()) {
    dorv::ui::TRecordingCanvas canvas;
    dorv::viewer::Form2->PaintOn(canvas);
  }
  return 0;
}
