// The toolkit semantics the handlers rely on.
#include <gtest/gtest.h>

#include "ui/application.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/datetime.h"
#include "ui/exceptions.h"
#include "ui/headless_modals.h"
#include "ui/text.h"

namespace dorv::ui {
namespace {

constexpr const char* kDesign = R"({
  "name": "T", "caption": "test", "width": 300, "height": 200,
  "controls": [
    {"name": "Combo", "kind": "TComboBox", "text": "b", "items": ["a", "b", "c"]},
    {"name": "Check", "kind": "TCheckBox", "caption": "c"},
    {"name": "Edit", "kind": "TEdit", "text": "05"},
    {"name": "Scroll", "kind": "TScrollBar", "min": 3, "max": 100, "position": 3},
    {"name": "Memo", "kind": "TMemo"},
    {"name": "Button", "kind": "TButton", "caption": "押す"},
    {"name": "Port", "kind": "TSerialPort", "ComNumber": 1}
  ]})";

class ToolkitTest : public ::testing::Test {
 protected:
  TApplication app;
  TForm form{"T", TForm::DesignText{kDesign}};
  HeadlessModals& modals() { return static_cast<HeadlessModals&>(app.Modals()); }
  void SetUp() override { modals().SetAnswerDelay(std::chrono::milliseconds(0)); }
};

TEST_F(ToolkitTest, ChangeAndClickEventsFollowTheToolkitRules) {
  auto* combo = form.Find<TComboBox>("Combo");
  auto* check = form.Find<TCheckBox>("Check");
  int changes = 0, clicks = 0;
  combo->OnChange = [&] { ++changes; };
  check->OnClick = [&] { ++clicks; };

  EXPECT_EQ(combo->ItemIndex(), 1);
  combo->SetText("c");  // a program setting the text fires nothing
  combo->SetItemIndex(0);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(combo->Text(), "a");
  combo->UserChoose("c");  // a user's choice does
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(combo->ItemIndex(), 2);
  combo->UserChoose("zz");
  EXPECT_EQ(combo->ItemIndex(), -1);
  combo->UserType("ab");  // typing: one change at the end
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(combo->Text(), "ab");

  check->SetChecked(true);  // a program setting Checked fires the click event
  check->SetChecked(true);  // unless nothing changes
  EXPECT_EQ(clicks, 1);
  check->UserClick();
  EXPECT_FALSE(check->Checked());
  EXPECT_EQ(clicks, 2);
}

TEST_F(ToolkitTest, KeyPressHandlerFiltersTypedKeys) {
  auto* edit = form.Find<TEdit>("Edit");
  edit->OnKeyPress = [](char& k) {
    if (k < '0' || k > '9') k = 0;
  };
  edit->UserType("1a2");
  EXPECT_EQ(edit->Text(), "12");
  // A handler that puts the same text back keeps the selection.
  edit->OnKeyPress = [edit](char& k) {
    edit->SetText(Trim(edit->Text()));
    (void)k;
  };
  edit->UserType("7");
  EXPECT_EQ(edit->Text(), "7");
}

TEST_F(ToolkitTest, ConversionAndRangeErrorsCarryTheToolkitMessages) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  } cases[] = {{"12", true, 12},   {" -7", true, -7},        {"+3", true, 3}, {"$1F", true, 31},
               {"0x10", true, 16}, {"1a", false, 0},         {"", false, 0},  {"12 ", false, 0},
               {"-", false, 0},    {"99999999999", false, 0}};
  for (auto& c : cases) {
    int v = -1;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  try {
    StrToInt("1a");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'1a' は整数ではありません");
  }
  auto* scroll = form.Find<TScrollBar>("Scroll");
  try {
    scroll->SetParams(2, 3, 2);  // max below min
    FAIL();
  } catch (const EInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "スクロールバー プロパティが範囲を越えました");
  }
  int changes = 0;
  scroll->OnChange = [&] { ++changes; };
  scroll->SetParams(50, 3, 100);
  scroll->SetPosition(500);  // clamped to the range
  EXPECT_EQ(scroll->Position(), 100);
  EXPECT_EQ(changes, 2);
}

TEST_F(ToolkitTest, ExceptionEscapingAHandlerIsShownAndTheLoopGoesOn) {
  bool after = false;
  app.Loop().Post([] { throw Exception("壊れた"); });
  app.Loop().Post([&] { after = true; });
  app.Loop().ProcessReady();
  EXPECT_TRUE(after);
  ASSERT_EQ(modals().Messages().size(), 1u);
  EXPECT_EQ(modals().Messages()[0], "壊れた");
}

TEST_F(ToolkitTest, InvalidatedShownFormPaintsAtTheNextTurn) {
  int paints = 0;
  form.OnPaint = [&](TCanvas& c) {
    ++paints;
    c.PenColor = clRed;
    c.MoveTo(1, 2);
    c.LineTo(3, 4);
  };
  form.Invalidate();  // hidden: nothing to paint
  app.Loop().ProcessReady();
  EXPECT_EQ(paints, 0);
  form.Show();
  form.Invalidate();
  form.Invalidate();  // coalesced
  EXPECT_EQ(paints, 0);
  app.Loop().ProcessReady();
  EXPECT_EQ(paints, 1);
  ASSERT_EQ(form.LastPaint().Ops().size(), 1u);
  auto& op = form.LastPaint().Ops()[0];
  EXPECT_EQ(op.color, clRed);
  EXPECT_EQ(op.x0, 1);
  EXPECT_EQ(op.y1, 4);
}

TEST_F(ToolkitTest, DesignKeepsUnknownComponentsAndMemoKeepsBytes) {
  const auto* port = form.DesignOf("Port");
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(form.FindComponent("Port"), nullptr);
  EXPECT_EQ(form.Find<TButton>("Button")->Caption(), "押す");
  EXPECT_THROW(form.Find<TEdit>("Button"), std::logic_error);

  auto* memo = form.Find<TMemo>("Memo");
  memo->Add(Utf8ToCp932("//↓Irregular Record //"));
  memo->Add(std::string("\x81") + "015/01/02");
  EXPECT_EQ(memo->Line(0),
            "//\x81\xAB"
            "Irregular Record //");
  std::string out;
  ASSERT_TRUE(memo->GetProperty("Lines[0]", out));
  EXPECT_EQ(out, "//↓Irregular Record //");
  ASSERT_TRUE(memo->GetProperty("Lines[1]", out));
  EXPECT_EQ(out, "\\x81015/01/02");
  ASSERT_TRUE(memo->GetProperty("Lines.Count", out));
  EXPECT_EQ(out, "2");
}

TEST_F(ToolkitTest, ModalsAnswerFromTheQueueAndDefaultToOkOrCancel) {
  std::string value = "30";
  modals().QueueAnswer("12");
  EXPECT_TRUE(app.Modals().InputQuery("5msec", "秒数", value));
  EXPECT_EQ(value, "12");
  EXPECT_FALSE(app.Modals().InputQuery("5msec", "秒数", value));  // nothing queued: cancel
  app.Modals().ShowMessage("時間不整合");                         // nothing queued: OK
  EXPECT_TRUE(app.Modals().Confirm("書き換え"));                  // nothing queued: OK
  modals().QueueAnswer("cancel");
  EXPECT_FALSE(app.Modals().Confirm("書き換え"));
  modals().QueueAnswer("ok");
  EXPECT_TRUE(app.Modals().Confirm("書き換え"));
  FileDialogRequest req;
  modals().QueueAnswer("/tmp/x.csv");
  EXPECT_TRUE(app.Modals().FileDialog(req));
  EXPECT_EQ(req.fileName, "/tmp/x.csv");
  EXPECT_EQ(app.Modals().PrintDialog(), nullptr);
  EXPECT_EQ(modals().Messages(),
            (std::vector<std::string>{"時間不整合", "書き換え", "書き換え", "書き換え"}));
}

TEST(DateTime, EncodesFormatsAndParses) {
  TDateTime dt = 0;
  ASSERT_TRUE(ParseYmdHms("2015/03/04 05:06:07", dt));
  EXPECT_EQ(FormatYmdHms(dt), "2015/03/04 05:06:07");
  EXPECT_EQ(DateToStr(dt), "2015/03/04");
  EXPECT_EQ(TimeToStr(dt), "5:06:07");
  EXPECT_DOUBLE_EQ(EncodeDateTime({1899, 12, 30}), 0.0);
  EXPECT_FALSE(ParseYmdHms("2015/13/04 05:06:07", dt));
  EXPECT_FALSE(ParseYmdHms("yesterday", dt));
}

}  // namespace
}  // namespace dorv::ui
