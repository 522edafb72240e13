// Whole-file saving and loading on Windows.
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/file_io.h"
#include "platform/win32_text.h"

namespace dorv::platform {

namespace {

// The system's text for an error; its number where the system has no text
// (a failure must never read as the empty success).
std::string Reason(DWORD e) {
  std::string text = win32::ErrorText(e);
  return text.empty() ? "Windows error " + std::to_string(e) : text;
}

std::string LastErrorText() {
  return Reason(GetLastError());
}

}  // namespace

std::string ReplaceFileText(const std::string& path, const std::string& text) {
  const std::wstring target = win32::Widen(path);
  // The new file is written under a name of its own beside the target and
  // moved over it once it is on the disk; the move replaces the file at once.
  std::wstring tmp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (unsigned k = 0; k < 100 && h == INVALID_HANDLE_VALUE; ++k) {
    tmp = target + L".saving-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(k);
    h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return LastErrorText();
  }
  if (h == INVALID_HANDLE_VALUE) return LastErrorText();
  std::string why;
  size_t done = 0;
  while (why.empty() && done < text.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
    DWORD wrote = 0;
    if (!WriteFile(h, text.data() + done, chunk, &wrote, nullptr))
      why = LastErrorText();
    else
      done += wrote;
  }
  if (why.empty() && !FlushFileBuffers(h)) why = LastErrorText();
  CloseHandle(h);
  if (why.empty() &&
      !MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    why = LastErrorText();
  if (!why.empty()) DeleteFileW(tmp.c_str());
  return why;
}

std::string ReadRegularFile(const std::string& path, size_t maxBytes, std::string& text) {
  text.clear();
  const std::wstring name = win32::Widen(path);
  DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return "is a directory";
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastErrorText();
  std::string why;
  LARGE_INTEGER size{};
  if (GetFileType(h) != FILE_TYPE_DISK) {
    why = "not a regular file (a device or a pipe)";
  } else if (!GetFileSizeEx(h, &size)) {
    why = LastErrorText();
  } else if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
    why = Reason(ERROR_FILE_TOO_LARGE);
  }
  char buf[65536];
  while (why.empty()) {
    DWORD got = 0;
    if (!ReadFile(h, buf, sizeof buf, &got, nullptr)) {
      why = LastErrorText();
      break;
    }
    if (got == 0) break;
    text.append(buf, got);
    if (text.size() > maxBytes) why = Reason(ERROR_FILE_TOO_LARGE);
  }
  CloseHandle(h);
  return why;
}

}  // namespace dorv::platform
