// "dorv download --format export" against the window's エクスポート of the
// same logger.
#include <nlohmann/json.hpp>

#include "e2e/e2e.h"

namespace dorv::testing {
namespace {

TEST_F(E2E, DownloadFormatExportIsTheWindowsExport) {
  auto logger = StartLogger(7, {"--records", "500", "--seed", "42"});
  const std::vector<std::string> env{"DORV_RUNTIME_DIR=" + dir.path,
                                     "TZ=CET-1CEST,M3.5.0,M10.5.0/3"};
  const std::string window = dir.path + "/window.csv", cli = dir.path + "/cli.csv";
  auto r = RunProcess({BinDir() + "/dorv-script", "-"},
                      std::string(kConnected) + "click Form1.Button30\n" +
                          "until Form1.Downloading == 0 60000\n"
                          "answer " +
                          window + "\nclick Form1.Button53\n",
                      env, 120000);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  r = RunProcess(
      {BinDir() + "/dorv", "download", "--port", "COM7", "-o", cli, "--format", "export"}, "", env,
      120000);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "COM7\t" + cli + "\t500 records\n");
  const std::string a = FileBytes(window), b = FileBytes(cli);
  EXPECT_GT(a.size(), 500u * 40);
  EXPECT_TRUE(a == b) << "the files differ";
  auto ja = nlohmann::json::parse(FileBytes(dir.path + "/window.json"));
  auto jb = nlohmann::json::parse(FileBytes(dir.path + "/cli.json"));
  EXPECT_EQ(jb["csv"], "cli.csv");
  ja.erase("csv");
  jb.erase("csv");
  EXPECT_EQ(ja, jb);

  // Another format is a usage error.
  r = RunProcess({BinDir() + "/dorv", "download", "--format", "xlsx"}, "", env, 60000);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("--format legacy|export"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace dorv::testing
