// The data: downloads into the document, CSV files, monitoring, the 5 ms
// burst and the firmware update, against the simulated logger.

#include "e2e/e2e.h"
#include "simulator/records.h"

namespace dorv::testing {
namespace {

int CountLines(const std::string& bytes) {
  int n = 0;
  for (size_t p = 0; (p = bytes.find("\r\n", p)) != std::string::npos; p += 2) ++n;
  return n;
}

TEST_F(E2E, DownloadSavesAndLoadsBackUnchanged) {
  auto logger = StartLogger(7, {"--records", "300"});
  std::string csv = dir.path + "/data";
  std::string copy = dir.path + "/copy.csv";
  auto r = Script(std::string(kConnected) +
                  "click Form1.Button30\n"
                  "until Form1.Downloading == 0 20000\n"
                  "until Form1.Memo1.Visible == true\n"
                  "expect Form1.RecordCount == 300\n"
                  "expect Form1.Memo1.Lines.Count == 302\n"
                  "expect Form1.Memo1.Lines[0] == Start Year=2015 @1G=10\n"
                  "expect Form1.Memo1.Lines[1] == date time,x(G),y(G),z(G),temperature(C)\n"
                  "expect Form1.Memo1.Lines[2] ~ 2015/11/30 14:00:00.\n"
                  "expect Form1.Label33.Caption ~ 300rec \n"
                  "expect Form1.DataSourceName == 1001\n"
                  "answer " +
                  csv +
                  "\n"
                  "click Form1.Button6\n"
                  // The file button shows once monitoring has been on and off.
                  "click Form1.Button10\n"
                  "click Form1.Button10\n"
                  "answer " +
                  csv +
                  ".csv\n"
                  "click Form1.Button11\n"
                  "expect Form1.Memo1.Lines.Count == 302\n"
                  "expect Form1.DataSourceName == " +
                  csv +
                  ".csv\n"
                  "answer " +
                  copy +
                  "\n"
                  "click Form1.Button6\n"
                  "messages\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");  // no message
  std::string saved = FileBytes(csv + ".csv");
  EXPECT_EQ(CountLines(saved), 302);
  EXPECT_EQ(saved.substr(0, 24), "Start Year=2015 @1G=10\r\n");
  EXPECT_EQ(saved.back(), '\n');
  EXPECT_TRUE(FileBytes(copy) == saved);  // loaded and saved again: the same bytes
  // Crossing the year: the lines of January carry 2016.
  EXPECT_NE(saved.find("\r\n2016/01/01 00:00:"), std::string::npos);
}

// The data line of what the logger measured, as the document must show it.
std::string ExpectedLine(const sim::Sample& s) {
  char temp[16];
  int a = s.temp_tenths < 0 ? -s.temp_tenths : s.temp_tenths;
  if (s.temp_tenths < 0)
    std::snprintf(temp, sizeof temp, "%3s.%d", ("-" + std::to_string(a / 10)).c_str(), a % 10);
  else
    std::snprintf(temp, sizeof temp, "%3d.%d", a / 10, a % 10);
  char line[96];
  std::snprintf(line, sizeof line, "%04d/%02d/%02d %02d:%02d:%02d.%02d0,%3d,%3d,%3d,%s,%2d", s.year,
                s.month, s.day, s.hour, s.minute, s.second, s.millisecond / 10, s.x, s.y, s.z, temp,
                s.extra);
  return line;
}

TEST_F(E2E, DownloadedFileHoldsExactlyWhatTheLoggerRecorded) {
  const int kRecords = 1500;
  auto logger = StartLogger(7, {"--records", std::to_string(kRecords), "--seed", "42"});
  std::string csv = dir.path + "/all.csv";
  auto r = Script(std::string(kConnected) +
                  "click Form1.Button30\n"
                  "until Form1.Downloading == 0 30000\n"
                  "answer " +
                  csv +
                  "\n"
                  "click Form1.Button6\n"
                  "messages\n");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  std::string expected = "Start Year=2015 @1G=10\r\ndate time,x(G),y(G),z(G),temperature(C)\r\n";
  for (auto& s : sim::GenerateSamples(kRecords, 42, false)) expected += ExpectedLine(s) + "\r\n";
  std::string saved = FileBytes(csv);
  EXPECT_EQ(saved.size(), expected.size());
  // The first differing line, if any, rather than two whole files.
  size_t at = 0;
  while (at < saved.size() && at < expected.size() && saved[at] == expected[at]) ++at;
  size_t from = expected.rfind('\n', at);
  from = from == std::string::npos ? 0 : from + 1;
  EXPECT_TRUE(saved == expected) << "first difference in the line: "
                                 << expected.substr(from, expected.find('\r', from) - from)
                                 << " / got " << saved.substr(from, saved.find('\r', from) - from);
}

TEST_F(E2E, DownloadKindsWriteTheirHeaders) {
  auto logger = StartLogger(7, {"--records", "30"});
  auto r = Script(std::string(kConnected) +
                  "click Form1.Button47\n"
                  "until Form1.Downloading == 0 20000\n"
                  "expect Form1.Memo1.Lines[0] == Start Year=2015 @1G=10\n"
                  "expect Form1.RecordCount == 30\n"
                  "until Form1.Timer1.Interval == 1000\n"
                  "click Form1.Button3\n"
                  "until Form1.Downloading == 0 20000\n"
                  "expect Form1.Memo1.Lines[0] == Start Year=2015\n"
                  "expect Form1.Memo1.Lines[1] == date time,x(G),y(G),z(G),temperature(C)\n"
                  "until Form1.Timer1.Interval == 1000\n"
                  "click Form1.Button28\n"
                  "until Form1.Downloading == 0 20000\n"
                  "expect Form1.Memo1.Lines[1] == Date,Xaxis,Yaxis,Zaxis,Temp\n"
                  "expect Form1.Memo1.Lines.Count == 32\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  auto t = Transcript(7, 7);
  EXPECT_EQ(std::vector<std::string>(t.begin() + 4, t.end()),
            (std::vector<std::string>{"C", "G", "G"}));
}

TEST_F(E2E, IrregularRecordsAreMarkedAndReported) {
  auto logger = StartLogger(7, {"--records", "120", "--fault", "irregular"});
  auto r = Script(std::string(kConnected) +
                  "click Form1.Button30\n"
                  "until Form1.Downloading == 0 20000\n"
                  "expect Form1.Memo1.Lines[51] == //↓Irregular Record //\n"
                  "expect Form1.Memo1.Lines[52] ~ \\x81\n"
                  "messages\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "message: 時間不整合\n");
}

TEST_F(E2E, NegativeCountIsReported) {
  auto logger = StartLogger(7, {"--records", "25", "--fault", "negative-count"});
  auto r = Script(std::string(kConnected) + "expect Form1.DataCount == 25\nmessages\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("message: データ数不具合"), std::string::npos) << r.out;
}

TEST_F(E2E, UnplugDuringADownloadKeepsWhatCameAndItCanBeSaved) {
  auto logger = StartLogger(7, {"--records", "2000", "--fault", "unplug-after=30000"});
  std::string csv = dir.path + "/part.csv";
  auto r = Script(std::string(kConnected) +
                  "click Form1.Button30\n"
                  "until Form1.Downloading == 0 20000\n"
                  "expect Form1.Memo1.Visible == true\n"
                  "answer " +
                  csv +
                  "\n"
                  "click Form1.Button6\n"
                  "messages\n"
                  "print Form1.RecordCount\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("message: データ取得が途中で途切れました"), std::string::npos) << r.out;
  int count = 0;
  ASSERT_NE(r.out.find("Form1.RecordCount="), std::string::npos);
  count = std::stoi(r.out.substr(r.out.find("Form1.RecordCount=") + 18));
  EXPECT_GT(count, 100);
  EXPECT_LT(count, 2000);
  EXPECT_EQ(CountLines(FileBytes(csv)), count + 2);
}

TEST_F(E2E, MonitorValuesReachTheBarsAndLabels) {
  auto logger = StartLogger(7);
  auto r = Script(std::string(kConnected) +
                  "click Form1.Button10\n"
                  "expect Form1.Button10.Caption == もどる\n"
                  "expect Form1.Memo1.Visible == false\n"
                  "expect Form1.TrackBar1.Visible == true\n"
                  "until Form1.Edit10.Text ~ C 5000\n"
                  "until Form1.Label11.Caption != 5000\n"
                  "wait 1000\n"
                  "expect Form1.Timer1.Interval == 300\n"
                  "print Form1.Label11.Caption\n"
                  "print Form1.TrackBar1.Position\n"
                  "click Form1.Button10\n"
                  "expect Form1.Button10.Caption == モニタ\n"
                  "expect Form1.Memo1.Visible == true\n"
                  "expect Form1.Button11.Visible == true\n"
                  "expect Form1.TrackBar1.Visible == false\n"
                  "until Form1.MonitorStartPending == 0 5000\n");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  // The bar stands at the value plus 20.
  auto label = r.out.substr(r.out.find("Caption=") + 8);
  int v = std::stoi(label.substr(0, label.find('\n')));
  auto pos = r.out.substr(r.out.find("Position=") + 9);
  EXPECT_EQ(std::stoi(pos), std::min(40, std::max(0, v + 20)));
  int requests = 0;
  for (auto& c : Transcript(7)) requests += c == "n";
  EXPECT_GE(requests, 3);
}

TEST_F(E2E, BurstOfFiveSecondsGivesItsRows) {
  auto logger = StartLogger(7);
  auto r = Script(std::string(kConnected) +
                  "answer 2\n"
                  "click Form1.Button40\n"
                  "expect Form1.FastRowsExpected == 1000\n"
                  "until Form1.FastRowIndex == 0 15000\n"
                  "expect Form1.Memo1.Lines.Count == 1002\n"
                  "expect Form1.Memo1.Lines[0] ~ Start Time=\n"
                  "expect Form1.Memo1.Lines[0] ~  @1G=10\n"
                  "expect Form1.Memo1.Lines[2] ~ 00.005,\n"
                  "expect Form1.Memo1.Lines[201] ~ 01.000,\n"
                  "expect Form1.Memo1.Lines[1000] ~ 04.995,\n"
                  "expect Form1.Memo1.Lines[1001] ~ End=>\n"
                  "until Form1.Timer1.Interval == 1000 5000\n"
                  "until Form1.SerialPort1Open == 0 5000\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  auto t = Transcript(7, 7);
  ASSERT_GE(t.size(), 7u);
  EXPECT_EQ(t[4], "n");
  EXPECT_EQ(t[5], "x");
  EXPECT_EQ(t[6], " ");
}

TEST_F(E2E, FirmwareUpdateHandsOverEveryLine) {
  auto logger = StartLogger(7, {"--fault", "reject-hex-line=5"});
  auto r = Script(std::string(kConnected) +
                      "answer-delay 0\n"
                      "click Form1.Button39\n"
                      "until Form1.FirmwareUpdating == 1 10000\n"
                      "until Form1.FirmwareUpdating == 0 60000\n"
                      "until Form1.Timer1.Interval == 1000 20000\n"
                      "until Form1.SerialPort1Open == 0 5000\n"
                      "expect Form1.FirmwareRejected == 1\n"
                      "messages\n",
                  {}, 180000);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("message: ファームウェアの書き換えをします。"), std::string::npos);
  EXPECT_NE(r.out.find("message: err\n"), std::string::npos);
  auto t = Transcript(7, 4 + 1 + 3039 + 2);
  ASSERT_GE(t.size(), 4u + 1 + 3039 + 2);
  EXPECT_EQ(t[4], "e");
  int hexLines = 0;
  size_t k = 5;
  for (; k < t.size() && (t[k][0] == ':' || t[k][0] == ';'); ++k) ++hexLines;
  EXPECT_EQ(hexLines, 3039);
  EXPECT_EQ(t[k - 1], ";PIC18F87K90");
  ASSERT_LT(k + 1, t.size());
  EXPECT_EQ(t[k], "qs");
  EXPECT_EQ(t[k + 1], "m");
}

TEST_F(E2E, FirmwareUpdateCancelledSendsNothing) {
  auto logger = StartLogger(7, {"--records", "10"});
  auto r = Script(std::string(kConnected) +
                  "answer-delay 0\n"
                  "answer cancel\n"
                  "click Form1.Button39\n"
                  "expect Form1.Timer1.Interval == 1000\n"
                  "expect Form1.FirmwareUpdating == 0\n"
                  // A download after it: the logger's transcript is in order,
                  // so anything the update had sent would stand before it.
                  "click Form1.Button30\n"
                  "until Form1.Downloading == 0 20000\n"
                  "expect Form1.RecordCount == 10\n"
                  "messages\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out,
            "message: ファームウェアの書き換えをします。終了するまで操作しないでください。\n");
  auto t = Transcript(7, 5);
  ASSERT_GE(t.size(), 5u);
  for (auto& c : t) EXPECT_TRUE(c != "e" && c[0] != ':' && c[0] != ';') << c;
}

TEST_F(E2E, LoaderThatNeverAnswersTimesOutCleanly) {
  auto logger = StartLogger(7, {"--fault", "no-prompt=e"});
  auto r = Script(std::string(kConnected) +
                  "click Form1.Button39\n"
                  "until Form1.SerialPort1Open == 0 20000\n"
                  "until Form1.Timer1.Interval == 1000\n"
                  "expect Form1.FirmwareUpdating == 0\n"
                  "messages\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("message: ファームウェア更新: ローダーが応答しません"), std::string::npos)
      << r.out;
}

}  // namespace
}  // namespace dorv::testing
