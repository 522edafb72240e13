// The signed command arguments typed into the main window's edit boxes, and
// the reservation dialog: shown from the reservation text, typed into, its
// day checked and written back, and confirmed.
//
// Input: LF-separated texts: an argument text, the reservation text, then
// what is typed into the month, day, hour and minute boxes (a missing one is
// left as shown). Byte 0 is a flag byte: bit 0 runs the day check's write-back
// timer, bit 1 marks a reservation already sent (the mode is applied again).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_app.h"
#include "link/command_set.h"
#include "ui/exceptions.h"

using dorv::fuzz::App;

namespace {

bool NextLine(std::string_view& text, std::string& line) {
  if (text.empty()) return false;
  size_t nl = text.find('\n');
  line.assign(text.substr(0, nl));
  text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
  return true;
}

template <class F>
void Act(F action) {
  try {
    action();
  } catch (const dorv::ui::Exception&) {
    // Shown by the application's exception display.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int flags = data[0];
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string line;

  if (NextLine(text, line)) {
    Act([&] {
      std::string arg = dorv::link::FormatSignedArg(line);
      // A sign, then at least two digits.
      if (arg.size() < 2) __builtin_trap();
    });
    Act([&] { dorv::link::ToggleArg(line); });
  }

  App& app = App::Get();
  app.Reset();
  auto& f1 = app.Main();
  auto* d = dorv::dialogs::Form5;
  f1.ReserveTimeText = NextLine(text, line) ? line : f1.NowText.substr(5, 11);
  f1.ReserveState = (flags & 2) ? 2 : 0;
  if (flags & 2) f1.ComboBox4->SetText("予約開始");
  Act([&] { d->Show(); });
  dorv::ui::TComboBox* boxes[] = {d->ComboBox1, d->ComboBox2, d->ComboBox3, d->ComboBox4};
  for (auto* box : boxes) {
    if (!NextLine(text, line)) break;
    Act([&] { box->UserType(line); });
  }
  if (flags & 1) Act([&] { d->Timer1Timer(); });
  Act([&] { d->Button1Click(); });
  return 0;
}
