// The reservation dialog's checks and messages, in-process.
#include "common/forms_fixture.h"
#include "ui/exceptions.h"

namespace dorv::testing {
namespace {

class Reservation : public FormsFixture {
 protected:
  dialogs::TForm5& D() { return *dialogs::Form5; }
  void ShowWith(const std::string& reserve) {
    D().Hide();
    F().ReserveTimeText = reserve;
    D().Show();
  }
  void Pick(const char* m, const char* d, const char* h, const char* mi) {
    D().ComboBox1->SetText(m);
    D().ComboBox2->SetText(d);
    D().ComboBox3->SetText(h);
    D().ComboBox4->SetText(mi);
  }
};

TEST_F(Reservation, ShowsTheTimeAndWarnsAboutFarOrPastChoices) {
  struct Case {
    const char* shown;
    const char* m;
    const char* d;
    const char* h;
    const char* mi;
    std::vector<std::string> messages;
  } cases[] = {
      {"12/07 05:00", "01", "05", "10", "00", {"来年の話ですけど、よいですか？"}},
      {"11/30 23:00", "12", "01", "00", "00", {"ずいぶんさきですけど、よいですか？"}},
      {"03/01 10:00", "03", "16", "10", "00", {}},  // exactly 150000: no message
      {"03/01 10:00", "03", "02", "09", "59", {}},
  };
  for (auto& c : cases) {
    Modals().Clear();
    ShowWith(c.shown);
    Pick(c.m, c.d, c.h, c.mi);
    D().Button1Click();
    EXPECT_EQ(Modals().Messages(), c.messages) << c.shown;
    std::string chosen = std::string(c.m) + "/" + c.d + " " + c.h + ":" + c.mi;
    EXPECT_EQ(F().ReserveTimeText, chosen);
    EXPECT_EQ(F().Label25->Caption(), chosen);
    EXPECT_EQ(F().ReserveState, 1);
    EXPECT_FALSE(D().Visible());
  }
  // A one-digit hour in the text.
  ShowWith("04/09 7:05");
  EXPECT_EQ(D().ComboBox3->Text(), "07");
  EXPECT_EQ(D().ComboBox4->Text(), "05");
  EXPECT_EQ(D().ShownTimeValue, 4090705);
}

TEST_F(Reservation, DayCheckAndItsWriteBack) {
  struct Case {
    const char* m;
    const char* d;
    const char* message;
    int corrected;
  } cases[] = {{"02", "29", "うるう年ですか？", 29},
               {"02", "30", "その日は指定できません", 28},
               {"04", "31", "その日は指定できません", 30},
               {"11", "31", "その日は指定できません", 30},
               {"01", "31", nullptr, 31}};
  ShowWith("01/01 00:00");
  for (auto& c : cases) {
    Modals().Clear();
    D().ComboBox1->SetText(c.m);
    D().ComboBox2->UserChoose(c.d);
    EXPECT_EQ(Modals().Messages().size(), c.message ? 1u : 0u) << c.m << "/" << c.d;
    if (c.message) {
      EXPECT_EQ(Modals().Messages()[0], c.message);
    }
    EXPECT_EQ(D().CorrectedDay, c.corrected);
  }
  // The timer writes the corrected day back without checking again.
  D().ComboBox1->SetText("04");
  D().ComboBox2->UserChoose("31");
  Modals().Clear();
  D().Timer1Timer();
  EXPECT_EQ(D().ComboBox2->Text(), "30");
  EXPECT_TRUE(Modals().Messages().empty());
}

TEST_F(Reservation, TypingKeepsTwoDigitsAndBadTextsStoreNothing) {
  ShowWith("05/06 07:08");
  D().ComboBox1->UserType("1a2");
  EXPECT_EQ(D().ComboBox1->Text(), "12");
  // A third digit stays until the next key cuts the box to its first two.
  D().ComboBox4->UserType("3456");
  EXPECT_EQ(D().ComboBox4->Text(), "346");
  // Not an integer when confirmed: the conversion message, nothing stored,
  // the dialog stays.
  F().ReserveTimeText = "05/06 07:08";
  D().ComboBox2->SetText("");
  EXPECT_THROW(D().Button1Click(), ui::EConvertError);
  EXPECT_EQ(F().ReserveTimeText, "05/06 07:08");
  EXPECT_TRUE(D().Visible());
}

}  // namespace
}  // namespace dorv::testing
