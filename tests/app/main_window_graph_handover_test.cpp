// The graph button: what the document hands to the graph window.
#include "common/forms_fixture.h"
#include "ui/exceptions.h"
#include "ui/text.h"

namespace dorv::testing {
namespace {

class Handover : public FormsFixture {
 protected:
  void Document(std::vector<std::string> lines) { F().Memo1->SetLines(std::move(lines)); }
  // The graph button as a click: what the graph window raises about the
  // data (too few lines, a line it cannot read) goes to the exception display.
  void GraphButton() {
    try {
      F().Button12Click();
    } catch (const ui::Exception&) {
    }
  }
};

TEST_F(Handover, DivisorFromTheHeader) {
  struct Case {
    const char* first;
    int before, after;
    bool shown;
  } cases[] = {
      {"Start Year=2015 @1G=5", 10, 5, true},
      {"Start Year=2015 @1G=50", 10, 50, true},
      {"Start Year=2015", 7, 7, true},
      {"Start Time=2015/03/04 05:06:07 @1G=2", 10, 10, true},  // "@" too far along
      {"Start Year=2015 @1G=0", 10, 10, true},                 // no divisor of 0
      {"date time,x(G),y(G),z(G),temperature(C)", 10, 10, false},
  };
  for (auto& c : cases) {
    viewer::Form2->Hide();
    F().ThresholdDivisor = c.before;
    Document({c.first, "date time,x(G),y(G),z(G),temperature(C)",
              "2015/01/02 03:04:05.000,  1,  2,  3, 25.0"});
    GraphButton();
    EXPECT_EQ(F().ThresholdDivisor, c.after) << c.first;
    EXPECT_EQ(viewer::Form2->Visible(), c.shown) << c.first;
  }
  EXPECT_EQ(viewer::Form2->Width(), 800);
  EXPECT_EQ(viewer::Form2->Height(), 550);
}

TEST_F(Handover, LinesAreCutAndLimited) {
  std::vector<std::string> doc = {"Start Year=2015 @1G=10", "header"};
  doc.push_back("2015/01/02 03:04:05.1234,1,2,3,25.0");
  doc.push_back(std::string(100, 'x'));
  while (doc.size() < 25000) doc.push_back("2015/01/02 03:04:05.000,  1,  2,  3, 25.0");
  Document(doc);
  GraphButton();
  EXPECT_EQ(F().RecordCount, 20000);
  EXPECT_EQ(F().RecordLines[2], "2015/01/02 03:04:05.124,1,2,3,25.0");
  EXPECT_EQ(F().RecordLines[3].size(), 63u);
  EXPECT_EQ(F().RecordLines[0], "Start Year=2015 @1G=10");
}

}  // namespace
}  // namespace dorv::testing
