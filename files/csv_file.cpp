#include "files/csv_file.h"

#include "platform/file_io.h"
#include "ui/exceptions.h"

namespace dorv::files {

namespace {

// A document larger than this is no logger's download.
constexpr size_t kMaxFileSize = 256L * 1024 * 1024;

// The file's text: every line followed by CR LF.
template <class Lines>
std::string JoinLines(const Lines& lines) {
  std::string text;
  size_t total = 0;
  for (std::string_view l : lines) total += l.size() + 2;
  text.reserve(total);
  for (std::string_view l : lines) {
    text += l;
    text += "\r\n";
  }
  return text;
}

void SaveText(const std::string& path, const std::string& text) {
  std::string why = platform::ReplaceFileText(path, text);
  if (!why.empty()) throw ui::Exception("保存できません: " + path + ": " + why);
}

}  // namespace

void SaveLines(const std::string& path, const std::vector<std::string>& lines) {
  SaveText(path, JoinLines(lines));
}

void SaveLines(const std::string& path, const ui::LineStore& lines) {
  SaveText(path, JoinLines(lines));
}

std::vector<std::string> LoadLines(const std::string& path) {
  std::string text;
  std::string why = platform::ReadRegularFile(path, kMaxFileSize, text);
  if (!why.empty()) throw ui::Exception("読み込めません: " + path + ": " + why);
  return SplitLines(text);
}

std::string CsvSaveName(const std::string& chosen) {
  size_t slash = chosen.find_last_of("/\\");
  std::string name = slash == std::string::npos ? chosen : chosen.substr(slash + 1);
  return name.find('.') == std::string::npos ? chosen + ".csv" : chosen;
}

}  // namespace dorv::files
