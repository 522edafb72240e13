// The status lines as the reply parser reads them, field by field, and lines
// that break the protocol.
#include "common/forms_fixture.h"

namespace dorv::testing {
namespace {

class StatusLines : public FormsFixture {
 protected:
  void Line(const std::string& s) { F().StatusLine(s.data(), static_cast<int>(s.size())); }
};

TEST_F(StatusLines, FieldsReachTheirDisplays) {
  struct Case {
    const char* line;
    std::function<std::string(app::TForm1&)> read;
    const char* expected;
  } cases[] = {
      {"@R=J", [](auto& f) { return f.ComboBox2->Text() + "/" + std::to_string(f.IntervalIndex); },
       "10min/5"},
      {"@R=^", [](auto& f) { return f.ComboBox2->Text(); }, "30min"},
      {"@I=C", [](auto& f) { return f.ComboBox3->Text() + std::to_string(f.HasMillisDigit); },
       "1msec1"},
      {"@I=5", [](auto& f) { return f.ComboBox3->Text() + std::to_string(f.HasMillisDigit); },
       "Real(32Hz)0"},
      {"@I=z", [](auto& f) { return f.ComboBox3->Text(); }, "Real(16Hz)"},
      {"@T=RNG50", [](auto& f) { return f.ComboBox5->Text() + std::to_string(f.ThresholdDivisor); },
       "502"},
      {"@T=RNG02", [](auto& f) { return f.ComboBox5->Text() + std::to_string(f.ThresholdDivisor); },
       "0250"},
      {"@T=RNG00", [](auto& f) { return f.ComboBox5->Text() + std::to_string(f.ThresholdDivisor); },
       "001"},
      {"@T=RNG77", [](auto& f) { return f.ComboBox5->Text() + std::to_string(f.ThresholdDivisor); },
       "1010"},
      {"@C=  1234  32000",
       [](auto& f) {
         return f.Label13->Caption() + "|" + f.Label39->Caption() + "|" +
                std::to_string(f.ProgressBar1->Max());
       },
       "1234|32000|1234"},
      {"@D=1.5G", [](auto& f) { return f.ComboBox1->Text() + std::to_string(f.ThresholdRaw); },
       "1515"},
      {"@d=07", [](auto& f) { return f.ComboBox1->Text(); }, "07"},
      {"@B=BUZZ0", [](auto& f) { return f.Label19->Caption(); }, "BZ-ON"},
      {"@B=BUZZ1", [](auto& f) { return f.Label19->Caption(); }, "BZ-OFF"},
      {"@M=N1003", [](auto& f) { return f.Label18->Caption(); }, "03"},
      {"@M=N1042rest", [](auto& f) { return f.Label18->Caption(); }, "42"},
      {"@Y=2015", [](auto& f) { return f.Label15->Caption(); }, "2015"},
      {"@s=STAT0", [](auto& f) { return f.ComboBox4->Text(); }, "Sleep"},
      {"@s=STAT1", [](auto& f) { return f.ComboBox4->Text(); }, "開始"},
      {"@w=W05", [](auto& f) { return f.Label31->Caption(); }, "05"},
      {"@L=LTC-3", [](auto& f) { return f.Edit14->Text(); }, "-3"},
      {"@G=5 DR10 LCD7 N",
       [](auto& f) { return std::to_string(f.ModeBits) + f.Label33->Caption(); }, "5DR10 LCD7 N"},
      {"@g=5 X",
       [](auto& f) {
         return std::to_string(f.ModeBits) + std::to_string(f.ThresholdDivisor) +
                f.ComboBox5->Text();
       },
       "2250"},
      // "@A": three groups of six after the first blank (blank, sign or
      // hundreds digit, label, "=", two digits); "h" picks the edits.
      {"@A h -x=03  y=00  z=01",
       [](auto& f) { return f.Edit1->Text() + "|" + f.Edit2->Text() + "|" + f.Edit6->Text(); },
       "-03|OFF|ON"},
      {"@A H  X=00  Y=12 -Z=05",
       [](auto& f) { return f.Edit7->Text() + "|" + f.Edit8->Text() + "|" + f.Edit11->Text(); },
       "OFF| 12|-05"},
      {"@F f  X=10 -Y=20 1Z=30",
       [](auto& f) { return f.Edit15->Text() + f.Edit16->Text() + f.Edit17->Text(); }, " 10-20130"},
  };
  for (auto& c : cases) {
    Line(c.line);
    EXPECT_EQ(c.read(F()), c.expected) << c.line;
  }
}

TEST_F(StatusLines, NegativeCountIsReportedAndMadePositive) {
  Line("@C=  -25  72020");
  EXPECT_EQ(F().DataCount, 25);
  EXPECT_EQ(F().ProgressBar1->Max(), 25);
  EXPECT_EQ(Modals().Messages(), std::vector<std::string>{"データ数不具合"});
}

TEST_F(StatusLines, TheLargestCountEndsADownloadAsAFullStore) {
  // A count at the largest number (also what the smallest negative one
  // becomes) during a download: its end decodes the whole store.
  for (const char* line : {"@C=  2147483647  72020", "@C=  -2147483648  72020"}) {
    F().Downloading = 1;
    Line(line);
    EXPECT_EQ(F().DataCount, INT32_MAX) << line;
    F().Memo1->Clear();
    F().CompleteDownload();
    EXPECT_EQ(F().Downloading, 0);
    EXPECT_EQ(F().RecordCount, app::kRecordCapacity) << line;
    EXPECT_EQ(F().ProgressBar1->Max(), INT32_MAX);
  }
}

TEST_F(StatusLines, LinesThatBreakTheProtocolChangeNothingAndStayInBounds) {
  F().ComboBox2->SetText("10min");
  F().IntervalIndex = 5;
  std::string before = F().Label19->Caption();
  for (const char* bad : {"@R", "@R=", "@B=", "@B=BU", "@T=R", "@W=DET", "@A", "@Ah", "@F f", "@C",
                          "@C=", "@C=   ", "@Dx", "@I", "@M=", "@Q=whatever", "@", "@s=S"}) {
    Line(bad);
  }
  EXPECT_EQ(F().Label19->Caption(), before);
  EXPECT_EQ(F().IntervalIndex, 5);
  // A letter the interval table does not know is shown as such; the index stays.
  Line("@R=Z");
  EXPECT_EQ(F().ComboBox2->Text(), "???");
  EXPECT_EQ(F().IntervalIndex, 5);
  // A count that is no number is 0, not a conversion error.
  Line("@C=  12ab  72020");
  EXPECT_EQ(F().DataCount, 0);
  EXPECT_TRUE(Modals().Messages().empty());
}

TEST_F(StatusLines, DetectionSwitchEchoesThroughItsClickHandlerOnlyWhenReady) {
  // Not ready: the box follows the status, nothing is sent.
  Line("@W=DETC1");
  EXPECT_TRUE(F().CheckBox2->Checked());
  EXPECT_EQ(F().CheckBox2State, 1);
  EXPECT_EQ(F().Edit12->Text(), "1");
  Line("@W=DETC0");
  EXPECT_FALSE(F().CheckBox2->Checked());
  EXPECT_EQ(F().CheckBox2State, 0);
  EXPECT_TRUE(F().PendingCmd1.Empty());
}

}  // namespace
}  // namespace dorv::testing
