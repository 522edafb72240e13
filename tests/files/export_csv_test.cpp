// The export for spreadsheets: the document's lines as a UTF-8 CSV with
// named columns, ISO 8601 times with the UTC offset and values in G, and the
// logger's identity in a JSON file beside it.
#include "files/export_csv.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <nlohmann/json.hpp>

#include "common/process.h"
#include "ui/exceptions.h"

namespace dorv::testing {
namespace {

using files::ExportCsvLines;
using files::ExportSummary;

long Jst(int, int, int, int, int, int) {
  return 9 * 3600;
}

TEST(ExportCsv, LinesOfTheDocumentAsRows) {
  const std::string marker =
      "//\x81\xAB"
      "Irregular Record //";  // cp932 arrow
  struct {
    const char* name;
    std::vector<std::string> document;
    int countsPerG;
    std::vector<std::string> rows;  // after the header
    int irregular, skipped;
  } cases[] = {
      {"records with and without the fifth value, negative temperatures",
       {"Start Year=2023 @1G=10", "date time,x(G),y(G),z(G),temperature(C)",
        "2023/01/11 07:35:18.000,  1, -1, 64, 23.0", "2023/01/11 07:35:18.125, -7,  0,100, -0.5,12",
        "2023/01/11 07:35:19.000,  0,  0,  0,-12.4"},
       99,
       {"2023-01-11T07:35:18.000+09:00,0.1,-0.1,6.4,23.0,0,",
        "2023-01-11T07:35:18.125+09:00,-0.7,0,10,-0.5,0,12",
        "2023-01-11T07:35:19.000+09:00,0,0,0,-12.4,0,"},
       0,
       0},
      {"the divisor of the header line, else the one given",
       {"Start Year=2015 @1G=50", "date time,x(G),y(G),z(G),temperature(C)",
        "2015/11/30 14:00:00.000, 25,-50,100, 20.5"},
       10,
       {"2015-11-30T14:00:00.000+09:00,0.5,-1,2,20.5,0,"},
       0,
       0},
      {"no divisor in the header (button V3)",
       {"Start Year=2015", "Date,Xaxis,Yaxis,Zaxis,Temp",
        "2015/11/30 14:00:00.000,  5,  0,  0, 20.5"},
       5,
       {"2015-11-30T14:00:00.000+09:00,1,0,0,20.5,0,"},
       0,
       0},
      {"an irregular record: marked, its year restored, the marker line left out",
       {"Start Year=2015 @1G=10", "date time,x(G),y(G),z(G),temperature(C)",
        "2015/12/31 23:59:59.990,  1,  1,  1, 20.0", marker,
        "\x81"
        "015/12/31 23:59:59.990,  2,  2,  2, 20.0",
        marker, "2016/01/01 00:00:00.000,  3,  3,  3, 20.0"},
       10,
       {"2015-12-31T23:59:59.990+09:00,0.1,0.1,0.1,20.0,0,",
        "2015-12-31T23:59:59.990+09:00,0.2,0.2,0.2,20.0,1,",
        "2016-01-01T00:00:00.000+09:00,0.3,0.3,0.3,20.0,0,"},
       1,
       0},
      {"centiseconds of 100 and more: carried into the second and flagged",
       {"Start Year=2023 @1G=10", "2023/12/31 23:59:59.1005,  1,  1,  1, 20.0"},
       10,
       {"2024-01-01T00:00:00.005+09:00,0.1,0.1,0.1,20.0,1,"},
       1,
       0},
      {"a burst: seconds past 59 count on into the next minutes",
       {"Start Time=2023/01/11 07:35:12 @1G=10", "date time,x(G),y(G),z(G),temperature(C)",
        "2023/01/11 07:35:00.005,  1,  2,  3, 23.5", "2023/01/11 07:35:89.995,  1,  2,  3, 23.5"},
       10,
       {"2023-01-11T07:35:00.005+09:00,0.1,0.2,0.3,23.5,0,",
        "2023-01-11T07:36:29.995+09:00,0.1,0.2,0.3,23.5,0,"},
       0,
       0},
      {"lines that are no data are counted, a temperature that is no number left empty",
       {"Start Year=2023 @1G=10", "", "garbage", "2023/13/01 00:00:00.000,  1,  1,  1, 20.0",
        "2023/01/11 07:35:18.000,  1, -1, 64, 23.A"},
       10,
       {"2023-01-11T07:35:18.000+09:00,0.1,-0.1,6.4,,0,"},
       0,
       2},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExportSummary summary;
    auto lines = ExportCsvLines(c.document, c.countsPerG, Jst, summary);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "time,x_g,y_g,z_g,temperature_c,irregular,extra");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), c.rows);
    EXPECT_EQ(summary.records, static_cast<int>(c.rows.size()));
    EXPECT_EQ(summary.irregular, c.irregular);
    EXPECT_EQ(summary.skippedLines, c.skipped);
  }
  // Without a divisor of at least 1 nothing is converted.
  ExportSummary summary;
  EXPECT_THROW(ExportCsvLines({"Start Year=2015 @1G=00", "2015/11/30 14:00:00.000,1,1,1,2.0"}, 10,
                              Jst, summary),
               ui::Exception);
  EXPECT_THROW(ExportCsvLines({"2015/11/30 14:00:00.000,1,1,1,2.0"}, 0, Jst, summary),
               ui::Exception);
}

// The PC's UTC offset, by the zone's rule for the date of each sample.
TEST(ExportCsv, UtcOffsetOfThePcsZoneForEachDate) {
  const char* saved = getenv("TZ");
  const std::string before = saved ? saved : "";
  struct {
    const char* tz;
    int month;
    const char* offset;
  } cases[] = {
      {"JST-9", 1, "+09:00"},
      {"UTC0", 7, "+00:00"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", 1, "+01:00"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", 7, "+02:00"},
      {"NST3:30", 1, "-03:30"},
  };
  for (auto& c : cases) {
    setenv("TZ", c.tz, 1);
    tzset();
    EXPECT_EQ(files::FormatUtcOffset(files::LocalUtcOffset(2023, c.month, 15, 12, 0, 0)),
              c.offset)
        << c.tz << " month " << c.month;
  }
  if (saved)
    setenv("TZ", before.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST(ExportCsv, JsonBesideTheCsvAndWriteErrors) {
  EXPECT_EQ(files::ExportJsonPath("/data/DORV03-export.csv"), "/data/DORV03-export.json");
  EXPECT_EQ(files::ExportJsonPath("/a.b/data"), "/a.b/data.json");

  TempDir dir;
  files::LoggerIdentity id{"10", "03", "DORV0001", "1sec", "05", "1003"};
  const std::vector<std::string> doc{"Start Year=2015 @1G=10",
                                     "date time,x(G),y(G),z(G),temperature(C)",
                                     "2015/11/30 14:00:00.000,  1,  2,  3, 20.5"};
  files::WriteExport(dir.path + "/out.csv", doc, 10, id, Jst);
  auto json = nlohmann::json::parse(FileBytes(dir.path + "/out.json"));
  EXPECT_EQ(json["csv"], "out.csv");
  EXPECT_EQ(json["source"], "1003");
  EXPECT_EQ(json["logger"]["model"], "10");
  EXPECT_EQ(json["logger"]["unit_number"], "03");
  EXPECT_EQ(json["logger"]["usb_serial_number"], "DORV0001");
  EXPECT_EQ(json["logger"]["record_interval"], "1sec");
  EXPECT_EQ(json["logger"]["threshold"], "05");
  EXPECT_EQ(json["counts_per_g"], 10);
  EXPECT_EQ(json["records"], 1);
  EXPECT_EQ(json["first_time"], "2015-11-30T14:00:00.000+09:00");

  // A folder that is not there: a clear error naming the file, nothing left.
  try {
    files::WriteExport(dir.path + "/missing/out.csv", doc, 10, id, Jst);
    ADD_FAILURE() << "no error";
  } catch (const ui::Exception& e) {
    EXPECT_NE(std::string(e.what()).find(dir.path + "/missing/out.csv"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace dorv::testing
