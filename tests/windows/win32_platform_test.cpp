// The Win32 backends of the platform seams on the system itself (run under
// Wine on the build machine): code-page conversion, the named mutex, the
// registry, whole-file saving, and the communications device's errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/comm_device.h"
#include "platform/file_io.h"
#include "platform/instance_lock.h"
#include "platform/registry.h"
#include "platform/text_encoding.h"
#include "serial/serial_errors.h"
// After the platform headers, whose constants the Windows macros share.
// clang-format off
#include <windows.h>
// clang-format on

namespace dorv::platform {
namespace {

TEST(Cp932, ConvertsAsTheLinuxBuildDoes) {
  struct Case {
    std::string cp932, utf8;
  };
  // Kanji, half-width kana, the NEC and IBM extensions, ASCII's backslash.
  const Case cases[] = {{"\x89\xb7\x93\x78", "温度"},
                        {"\xb1\xba", "ｱｺ"},
                        {"\x87\x40", "①"},
                        {"\xfa\x40", "ⅰ"},
                        {"a\\b~", "a\\b~"},
                        {"", ""}};
  for (auto& c : cases) {
    std::string out;
    EXPECT_TRUE(Cp932ToUtf8(c.cp932, out)) << c.utf8;
    EXPECT_EQ(out, c.utf8);
    EXPECT_TRUE(Utf8ToCp932(c.utf8, out)) << c.utf8;
    EXPECT_EQ(out, c.cp932);
  }
  // Bytes that are no cp932 character, and a lead byte without its second
  // byte, are refused (a document shows them as bytes).
  for (std::string bad : {"\x80", "\xa0", "\xfd", "\xff", "\x81"}) {
    std::string out;
    EXPECT_FALSE(Cp932ToUtf8(bad, out)) << static_cast<int>(static_cast<unsigned char>(bad[0]));
  }
  std::string out;
  EXPECT_TRUE(Utf8ToCp932("¥", out));  // the yen sign is cp932's 0x5C
  EXPECT_EQ(out, "\\");
  EXPECT_FALSE(Utf8ToCp932("한", out));    // no cp932 form
  EXPECT_FALSE(Utf8ToCp932("\xff", out));  // not UTF-8
}

TEST(InstanceLock, TheNamedMutexAdmitsOneHolderAtATime) {
  const std::string name = "dorv-test-" + std::to_string(GetCurrentProcessId());
  {
    InstanceLock first(name);
    ASSERT_TRUE(first.Acquired()) << first.Error();
    InstanceLock second(name);
    EXPECT_FALSE(second.Acquired());
    EXPECT_EQ(second.Error(), "");  // held by another: no fault to report
    EXPECT_NE(second.Holder().find(name), std::string::npos);
  }
  InstanceLock again(name);
  EXPECT_TRUE(again.Acquired()) << again.Error();
}

class SystemRegistryTest : public ::testing::Test {
 protected:
  const std::string path = "SOFTWARE\\DORV-test-" + std::to_string(GetCurrentProcessId());
  void SetUp() override {
    HKEY key = nullptr;
    std::wstring wpath(path.begin(), path.end());
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, wpath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS)
        << "HKEY_LOCAL_MACHINE must be writable for this test";
    auto set = [&](const wchar_t* name, const std::wstring& value) {
      RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    };
    set(L"\\Device\\VCP0", L"COM7");
    set(L"Serial0", L"COM1");
    set(L"\\Device\\VCP1", L"COM12");
    DWORD number = 5;
    RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    RegCloseKey(key);
  }
  void TearDown() override {
    std::wstring wpath(path.begin(), path.end());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, wpath.c_str());
  }
};

TEST_F(SystemRegistryTest, ReadsValueNamesAndStringValues) {
  auto reg = CreateSystemRegistry();
  ASSERT_TRUE(reg->OpenKeyReadOnly(path));
  // The registry's order: Windows keeps the order of creation, Wine sorts.
  auto names = reg->GetValueNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"Number", "Serial0", "\\Device\\VCP0", "\\Device\\VCP1"}));
  EXPECT_EQ(reg->ReadString("\\Device\\VCP1"), "COM12");
  EXPECT_EQ(reg->ReadString("Number"), "");  // not a string
  EXPECT_EQ(reg->ReadString("Missing"), "");
  reg->CloseKey();
  EXPECT_EQ(reg->GetValueNames(), std::vector<std::string>{});
  EXPECT_FALSE(reg->OpenKeyReadOnly(path + "\\Missing"));
}

TEST(FileIo, ReplacesWholeFilesAndReadsThemBack) {
  wchar_t dir[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, dir), 0u);
  std::wstring wdir(dir);
  std::string path(wdir.begin(), wdir.end());
  path += "dorv-file-io-" + std::to_string(GetCurrentProcessId()) + ".csv";
  const std::string first = "a\r\nb\r\n", second(100000, '\x89');
  EXPECT_EQ(ReplaceFileText(path, first), "");
  std::string text;
  EXPECT_EQ(ReadRegularFile(path, 1000, text), "");
  EXPECT_EQ(text, first);
  EXPECT_EQ(ReplaceFileText(path, second), "");  // over an existing file
  EXPECT_EQ(ReadRegularFile(path, second.size(), text), "");
  EXPECT_EQ(text, second);
  EXPECT_NE(ReadRegularFile(path, second.size() - 1, text), "");  // too large
  DeleteFileA(path.c_str());
  EXPECT_NE(ReadRegularFile(path, 1000, text), "");  // gone: the system's text
  std::string folder(wdir.begin(), wdir.end());
  EXPECT_EQ(ReadRegularFile(folder, 1000, text), "is a directory");
  // Nothing left beside the file.
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((path + ".saving-*").c_str(), &found);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST(CommDevice, AMissingPortIsNotFoundAndErrorsReadAsTheSystemSaysThem) {
  int error = 0;
  EXPECT_EQ(CommDevice::Open("\\\\.\\COM250", error), nullptr);
  EXPECT_EQ(error, kErrFileNotFound);
  EXPECT_EQ(CommDevice::Open("LPT1x", error), nullptr);
  EXPECT_EQ(error, kErrFileNotFound);
  // The serial layer's codes are the system's own.
  EXPECT_EQ(CommErrorFromSystem(ERROR_SHARING_VIOLATION), kErrSharingViolation);
  EXPECT_NE(OpenFailureHint(kErrSharingViolation), "");
  // An error without a row in the serial layer's table reads as the system
  // words it, on one line.
  try {
    serial::CheckException(nullptr, -kErrInvalidParameter);
    FAIL();
  } catch (const serial::EInOutError& e) {
    std::string text = e.what();
    EXPECT_EQ(text, SystemErrorText(kErrInvalidParameter));
    EXPECT_NE(text, "");
    EXPECT_EQ(text.find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace dorv::platform
