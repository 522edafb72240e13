// The document file: exact bytes, never losing the old file, clear errors.
#include "files/csv_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "common/process.h"
#include "ui/exceptions.h"
#include "ui/text.h"

namespace dorv::files {
namespace {

TEST(CsvFile, WritesCp932LinesWithCrLfAndReadsThemBack) {
  testing::TempDir dir;
  std::string path = dir.path + "/d.csv";
  std::vector<std::string> lines = {"Start Year=2015 @1G=10",
                                    ui::Utf8ToCp932("//↓Irregular Record //"),
                                    "\x81"
                                    "015/01/02 03:04:05.000,  1, -1, 64, 23.0",
                                    ""};
  SaveLines(path, lines);
  EXPECT_EQ(testing::FileBytes(path),
            "Start Year=2015 @1G=10\r\n//\x81\xABIrregular Record //\r\n\x81"
            "015/01/02 03:04:05.000,  1, -1, 64, 23.0\r\n\r\n");
  EXPECT_EQ(LoadLines(path), lines);
  // Files written elsewhere: LF or CR line ends, no final line end.
  std::ofstream(dir.path + "/lf.csv", std::ios::binary) << "a\nb\rc\r\nd";
  EXPECT_EQ(LoadLines(dir.path + "/lf.csv"), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(CsvFile, AFailedSaveSaysWhyAndLeavesNothingBehind) {
  // The final rename fails (a folder stands where the file would go): the
  // message names the place, and no temporary file is left beside it.
  testing::TempDir dir;
  std::string path = dir.path + "/d.csv";
  mkdir(path.c_str(), 0700);
  try {
    SaveLines(path, {"new"});
    FAIL();
  } catch (const ui::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("保存できません: " + path), std::string::npos) << e.what();
  }
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path)) entries += e.exists();
  EXPECT_EQ(entries, 1);
}

TEST(CsvFile, AFullDiskLeavesTheOldFile) {
  // A save that cannot complete renames nothing over the old file.
  testing::TempDir dir;
  std::string path = dir.path + "/d.csv";
  SaveLines(path, {"old"});
  // The temporary file lives beside the target, so point the target at a
  // folder where the temporary cannot be made: a missing one.
  EXPECT_THROW(SaveLines(dir.path + "/missing/d.csv", {"x"}), ui::Exception);
  EXPECT_EQ(testing::FileBytes(path), "old\r\n");
}

TEST(CsvFile, LoadErrors) {
  testing::TempDir dir;
  for (std::string bad : {dir.path + "/none.csv", dir.path}) {
    try {
      LoadLines(bad);
      ADD_FAILURE() << bad;
    } catch (const ui::Exception& e) {
      EXPECT_NE(std::string(e.what()).find("読み込めません"), std::string::npos);
    }
  }
}

TEST(CsvFile, SaveNameGetsCsvOnlyWithoutAnExtension) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"data", "data.csv"},
               {"data.txt", "data.txt"},
               {"/tmp/a.b/data", "/tmp/a.b/data.csv"},
               {"C:\\a.b\\data", "C:\\a.b\\data.csv"},
               {"/tmp/x/data.CSV", "/tmp/x/data.CSV"}};
  for (auto& c : cases) EXPECT_EQ(CsvSaveName(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace dorv::files
