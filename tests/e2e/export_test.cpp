// The export of a download, read back with a CSV parser and compared with
// the legacy file saved from the same download.
#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "e2e/e2e.h"

namespace dorv::testing {
namespace {

// RFC 4180: fields split at commas, quoted fields with doubled quotes,
// records ended by CR LF.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false, any = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = any = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      row.push_back(field);
      rows.push_back(row);
      row.clear();
      field.clear();
      ++i;
    } else {
      field += c;
    }
  }
  EXPECT_TRUE(field.empty() && row.empty()) << "the last record is not ended by CR LF";
  return rows;
}

std::vector<std::string> SplitCrLf(const std::string& bytes) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t p; (p = bytes.find("\r\n", start)) != std::string::npos; start = p + 2)
    out.push_back(bytes.substr(start, p - start));
  return out;
}

TEST_F(E2E, ExportReadsBackAsTheLegacyFileOfTheSameDownload) {
  auto logger = StartLogger(7, {"--records", "300", "--fault", "irregular"});
  const std::string legacy = dir.path + "/legacy.csv", exported = dir.path + "/data";
  auto r = RunProcess({BinDir() + "/dorv-script", "-"},
                      std::string(kConnected) +
                          "click Form1.Button30\n"
                          "until Form1.Downloading == 0 20000\n"
                          "until Form1.Memo1.Visible == true\n"
                          "answer " +
                          legacy +
                          "\n"
                          "click Form1.Button6\n"
                          "answer " +
                          exported +
                          "\n"
                          "click Form1.Button53\n",
                      {"DORV_RUNTIME_DIR=" + dir.path, "TZ=JST-9"}, 120000);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

  // The legacy file: the data lines (cp932, marker lines between them).
  std::vector<std::string> data;
  for (const std::string& line : SplitCrLf(FileBytes(legacy)))
    if (line.size() > 23 && line[4] == '/' && line[10] == ' ') data.push_back(line);
  ASSERT_EQ(data.size(), 300u);

  const auto rows = ParseCsv(FileBytes(exported + ".csv"));
  ASSERT_EQ(rows.size(), 301u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"time", "x_g", "y_g", "z_g", "temperature_c",
                                               "irregular", "extra"}));
  int irregular = 0;
  int lastYear = 2015;
  for (size_t k = 0; k < data.size(); ++k) {
    SCOPED_TRACE(data[k]);
    const std::string& l = data[k];
    const auto& row = rows[k + 1];
    ASSERT_EQ(row.size(), 7u);
    // The time: the same local time, with the offset of the zone.
    const bool marked = static_cast<unsigned char>(l[0]) == 0x81;
    const int year =
        marked ? lastYear / 1000 * 1000 + std::stoi(l.substr(1, 3)) : std::stoi(l.substr(0, 4));
    lastYear = year;
    const std::string local = std::to_string(year) + "-" + l.substr(5, 2) + "-" + l.substr(8, 2) +
                              "T" + l.substr(11, 8) + "." + l.substr(20, 3);
    EXPECT_EQ(row[0], local + "+09:00");
    // The values: counts over the header's 10 counts per G, the temperature
    // as written.
    std::stringstream fields(l.substr(24));
    std::string x, y, z, t, e;
    std::getline(fields, x, ',');
    std::getline(fields, y, ',');
    std::getline(fields, z, ',');
    std::getline(fields, t, ',');
    std::getline(fields, e, ',');
    EXPECT_NEAR(std::stod(row[1]), std::stoi(x) / 10.0, 1e-12);
    EXPECT_NEAR(std::stod(row[2]), std::stoi(y) / 10.0, 1e-12);
    EXPECT_NEAR(std::stod(row[3]), std::stoi(z) / 10.0, 1e-12);
    EXPECT_EQ(row[4], t.substr(t.find_first_not_of(' ')));
    EXPECT_EQ(row[5], marked ? "1" : "0");
    EXPECT_EQ(row[6], e.empty() ? "" : std::to_string(std::stoi(e)));
    irregular += marked;
  }
  EXPECT_GT(irregular, 0);  // the logger's clock stood still now and then

  auto json = nlohmann::json::parse(FileBytes(exported + ".json"));
  EXPECT_EQ(json["records"], 300);
  EXPECT_EQ(json["irregular_records"], irregular);
  EXPECT_EQ(json["counts_per_g"], 10);
  EXPECT_EQ(json["source"], "1001");
  EXPECT_EQ(json["logger"]["unit_number"], "01");
  EXPECT_EQ(json["logger"]["usb_serial_number"], "DORV0001");
}

}  // namespace
}  // namespace dorv::testing
