// The graph window's controls, the marked range and the statistics window.
#include "graph_fixture.h"

namespace dorv::testing {
namespace {

TEST_F(GraphWindow, TimeScalesOfComboBox1) {
  Open(Document(Series(20, 0, 1000, [](int) { return 0; })));
  EXPECT_EQ(f2->ComboBox1->Text(), "分");
  // Before a choice: 1, 1, 300. The blank item reads Edit8, which holds no number yet.
  Choose(" ");
  ASSERT_EQ(Modals().Messages().size(), 1u);
  EXPECT_EQ(Modals().Messages()[0], "'Edit8' は整数ではありません");
  EXPECT_EQ(f2->TimeScaleUnit, 300);

  struct {
    const char* item;
    int unit, mul;
  } cases[] = {{"0.01秒", 2, 100},  {"0.1秒", 25, 100},  {"0.2秒", 50, 100},    {"0.5秒", 125, 100},
               {"秒", 250, 100},    {"10秒", 25, 1},     {"30秒", 75, 1},       {"分", 150, 1},
               {"10分", 1500, 1},   {"30分", 4500, 1},   {"時間", 9000, 1},     {"2時間", 18000, 1},
               {"3時間", 27000, 1}, {"6時間", 54000, 1}, {"12時間", 108000, 1}, {"日", 216000, 1}};
  for (auto& c : cases) {
    Choose(c.item);
    EXPECT_EQ(f2->Edit8->Text(), std::to_string(c.unit)) << c.item;
    EXPECT_EQ(f2->TimeScaleUnit, c.unit) << c.item;
    EXPECT_EQ(f2->TimeScaleMul, c.mul) << c.item;
    EXPECT_EQ(f2->TimeScaleDiv, 10) << c.item;
  }
  // The blank item keeps the last scale; a unit below 1 is refused.
  Choose(" ");
  EXPECT_EQ(f2->TimeScaleUnit, 216000);
  f2->Edit8->SetText("0");
  Choose(" ");
  EXPECT_EQ(f2->TimeScaleUnit, 216000);
  EXPECT_EQ(Modals().Messages().back(), "'0' は 1 以上の整数ではありません");
  Paint();  // and draws as before
}

TEST_F(GraphWindow, StatisticsOfTheMarkedRange) {
  struct {
    const char* name;
    int divisor;
    std::vector<int> values;  // X of the ten samples in the range
    const char* edit1;
    const char* max;
    const char* min;
    const char* mean;
  } cases[] = {
      {"D = 10",
       10,
       {3, -7, 12, 0, 5, 5, 1, -2, 4, 9},
       "VOID",
       "●最大値  :   1.200g    (12)dgt",
       "●最小値  : - 0.700g    (-7)dgt",
       "●平均値  :   0.300g    (3)dgt"},
      {"D = 50",
       50,
       {123, 0, -3, 10, 10, 10, 10, 10, 10, 10},
       "VOID",
       "●最大値  :   2.460g    (123)dgt",
       "●最小値  : - 0.060g    (-3)dgt",
       "●平均値  :   0.380g    (19)dgt"},
      {"override 5",
       10,
       {3, -7, 12, 0, 5, 5, 1, -2, 4, 9},
       "5",
       "●最大値  :   1.200g    (12)dgt",
       "●最小値  : - 0.700g    (-7)dgt",
       "●平均値  :   0.500g    (5)dgt"},
      {"override -19",
       10,
       {3, -7, 12, 0, 5, 5, 1, -2, 4, 9},
       "-19",
       "●最大値  :   1.200g    (12)dgt",
       "●最小値  : - 0.700g    (-7)dgt",
       "●平均値  : - 1.900g    (-19)dgt"},
      {"20 is no override",
       10,
       {3, -7, 12, 0, 5, 5, 1, -2, 4, 9},
       "20",
       "●最大値  :   1.200g    (12)dgt",
       "●最小値  : - 0.700g    (-7)dgt",
       "●平均値  :   0.300g    (3)dgt"},
      {"text is no override, and nothing half-computed",
       10,
       {3, -7, 12, 0, 5, 5, 1, -2, 4, 9},
       "abc",
       "●最大値  :   1.200g    (12)dgt",
       "●最小値  : - 0.700g    (-7)dgt",
       "●平均値  :   0.300g    (3)dgt"},
      {"zero divisor",
       0,
       {3, -7, 12, 0, 5, 5, 1, -2, 4, 9},
       "VOID",
       "●最大値  :  --.---g    (12)dgt",
       "●最小値  :  --.---g    (-7)dgt",
       "●平均値  :  --.---g    (3)dgt"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Sample 500 (00:08:17) at the cursor; samples just outside the range differ.
    Open(Document(Series(1000, 0, 1000,
                         [&](int i) {
                           int index = i + 3;
                           if (index >= 500 && index < 510) return c.values[index - 500];
                           return index < 500 ? -60 : -50;
                         })),
         c.divisor);
    Choose("10秒");
    f2->ScrollBar1->SetPosition(500);
    f2->Edit1->SetText(c.edit1);
    Paint();
    f2->UserMouseDown(ui::TMouseButton::mbLeft, 428, 200);  // 40 pixels: 10 samples
    auto canvas = Paint();
    f4->Timer1Timer();
    EXPECT_EQ(f2->RangeStartIndex, 500);
    EXPECT_EQ(f2->RangeEndIndex, 510);
    EXPECT_EQ(f4->Label1->Caption(), "開始:01/11 00:08:17.000");
    EXPECT_EQ(f4->Label2->Caption(), "終了:01/11 00:08:27.000");
    EXPECT_EQ(f4->Label3->Caption(), c.max);
    EXPECT_EQ(f4->Label4->Caption(), c.min);
    EXPECT_EQ(f4->Label7->Caption(), c.mean);
    EXPECT_EQ(f4->Label5->Caption(), "●データ数  : 10個");
    // The range box: lime right edge and top and bottom, with the cursor line.
    auto lime = Lines(canvas, ui::clLime);
    ASSERT_EQ(lime.size(), 3u);
    EXPECT_TRUE(IsVertical(lime[0], 428));
    EXPECT_EQ(lime[0].y0, 175);
    EXPECT_EQ(lime[0].y1, 375);
    EXPECT_EQ(lime[1].x0, 388);
    EXPECT_EQ(lime[2].y0, 375);
  }
}

TEST_F(GraphWindow, EmptyRangesZeroTheMeanAndKeepTheRest) {
  Open(Document(Series(1000, 0, 1000, [](int i) { return i % 7; })));
  Choose("10秒");
  f2->ScrollBar1->SetPosition(500);
  Paint();
  f2->UserMouseDown(ui::TMouseButton::mbRight, 428, 10);
  Paint();
  f4->Timer1Timer();
  const std::string max = f4->Label3->Caption(), min = f4->Label4->Caption();
  ASSERT_EQ(f4->Label5->Caption(), "●データ数  : 10個");
  ASSERT_NE(f4->Label7->Caption(), "●平均値  :   0.000g    (0)dgt");

  struct {
    const char* name;
    int position, x;
  } cases[] = {{"narrower than one step", 500, 389}, {"beyond the last sample", 995, 500}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    f2->ScrollBar1->SetPosition(c.position);
    Paint();
    f2->UserMouseDown(ui::TMouseButton::mbLeft, c.x, 10);
    Paint();
    f4->Timer1Timer();
    EXPECT_EQ(f4->Label7->Caption(), "●平均値  :   0.000g    (0)dgt");
    EXPECT_EQ(f4->Label3->Caption(), max);
    EXPECT_EQ(f4->Label4->Caption(), min);
    EXPECT_EQ(f4->Label5->Caption(), "●データ数  : 10個");
  }

  // A click on the cursor line clears the range and hides the window.
  EXPECT_TRUE(f4->Visible());
  f2->UserMouseDown(ui::TMouseButton::mbLeft, 388, 10);
  EXPECT_EQ(f2->RangeWidth, 0);
  EXPECT_FALSE(f4->Visible());
  EXPECT_TRUE(Lines(Paint(), ui::clLime).empty());

  // Edit1's double click switches the override off.
  f2->Edit1->SetText("7");
  f2->Edit1->UserDblClick();
  EXPECT_EQ(f2->Edit1->Text(), "VOID");
}

TEST_F(GraphWindow, StatisticsWindowIsPlacedOnTheScreenBesideTheGraph) {
  EXPECT_EQ(f4->Timer1->Interval(), 500);
  EXPECT_TRUE(f4->Timer1->Enabled());
  Open(Document(Series(100, 0, 1000, [](int) { return 0; })));
  struct {
    int screenW, screenH, top;
    int left4, top4;
  } cases[] = {
      {1024, 768, 300, 100 + 800 / 3, 300 - 161 + 20},  // above the graph window
      {800, 600, 300, 100 + 800 / 6, 300 + 10},         // over it on a low screen
      {1024, 768, 50, 100 + 800 / 3, 0},                // never above the screen
  };
  for (auto& c : cases) {
    app_.SetScreenSize(c.screenW, c.screenH);
    f2->SetBounds(100, c.top, 800, 550);
    Paint();
    f2->UserMouseDown(ui::TMouseButton::mbLeft, 400, 100);
    EXPECT_TRUE(f4->Visible());
    EXPECT_EQ(f4->Left(), c.left4);
    EXPECT_EQ(f4->Top(), c.top4);
  }
  f2->Close();
  EXPECT_FALSE(f4->Visible());
}

}  // namespace
}  // namespace dorv::testing
