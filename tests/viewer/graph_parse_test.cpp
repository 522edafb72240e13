// Parsing the handed-over lines into the graph window's store.
#include "graph_fixture.h"
#include "viewer/graph_store.h"

namespace dorv::testing {
namespace {

constexpr long long kHour = 3600000, kDay = 86400000;

TEST(GraphParse, TimesDaysAndBackwardStepsAsATable) {
  const std::string marker = ui::Utf8ToCp932("//↓Irregular Record //");
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    std::vector<long long> times;  // of the lines stored, from index 3
    const char* backward;          // Label1
    const char* error;             // message shown, or null
  } cases[] = {
      {"midnight",
       {DataLine(1, 11, 23 * kHour + 3599500, 1, 2, 3), DataLine(1, 12, 250, 1, 2, 3)},
       {23 * kHour + 3599500, kDay + 250},
       "0",
       nullptr},
      {"several days and a month change add one day each",
       {DataLine(1, 11, 10 * kHour, 1, 2, 3), DataLine(1, 14, 10 * kHour, 1, 2, 3),
        DataLine(2, 1, 9 * kHour, 1, 2, 3)},
       {10 * kHour, kDay + 10 * kHour, 2 * kDay + 9 * kHour},
       "0",
       nullptr},
      {"a clock reset counts one backward step",
       {DataLine(1, 11, 5000, 1, 2, 3), DataLine(1, 11, 1000, 1, 2, 3),
        DataLine(1, 11, 2000, 1, 2, 3)},
       {5000, 1000, 2000},
       "1",
       nullptr},
      {"an irregular-record marker stops the parse",
       {DataLine(1, 11, 1000, 1, 2, 3), marker, DataLine(1, 11, 3000, 1, 2, 3)},
       {1000},
       "count",
       "'gu' は整数ではありません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GraphApp fresh;  // a new application per case
    fresh.Open(Document(c.lines));
    auto* g = fresh.f2;
    const auto& messages = fresh.Modals().Messages();
    if (c.error) {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0], c.error);
      EXPECT_EQ(g->Label3->Caption(), "e");  // not updated
      EXPECT_EQ(g->ScrollBar1->Max(), 100);  // not updated
    } else {
      EXPECT_TRUE(messages.empty()) << messages.front();
      EXPECT_EQ(g->ScrollBar1->Max(), static_cast<int>(c.lines.size()) + 3);
    }
    ASSERT_EQ(g->SampleEnd, 3 + static_cast<int>(c.times.size()));
    for (size_t k = 0; k < c.times.size(); ++k) EXPECT_EQ(g->Samples.Time[3 + k], c.times[k]) << k;
    EXPECT_EQ(g->Label1->Caption(), c.backward);
    EXPECT_EQ(g->Label2->Caption(), c.lines[0].substr(5, 14));
  }
}

TEST(GraphParse, ValueFieldsReadAsScanfDoes) {
  struct {
    const char* field;
    int value;
  } cases[] = {{"  1", 1}, {" -1", -1},           {"25.3", 25}, {"-0.5", 0},
               {"+7", 7},  {"12345678", 1234567}, {"", 0},      {"abc", 0}};
  for (auto& c : cases) EXPECT_EQ(viewer::ScanField(c.field), c.value) << c.field;

  // Four values leave the fifth 0; a fifth value is read; further ones ignored.
  viewer::SampleStore store;
  viewer::ParseProgress progress;
  auto doc = Document({DataLine(1, 11, 1000, -5, 6, 127, " 25.3"),
                       DataLine(1, 11, 2000, 1, 2, 3, " -0.5", "42,99")});
  viewer::ParseSamples(doc, static_cast<int>(doc.size()), store, progress);
  ASSERT_EQ(progress.end, 5);
  EXPECT_EQ(store.X[3], -5);
  EXPECT_EQ(store.Y[3], 6);
  EXPECT_EQ(store.Z[3], 127);
  EXPECT_EQ(store.Temp[3], 25);
  EXPECT_EQ(store.Extra[3], 0);
  EXPECT_EQ(store.Temp[4], 0);
  EXPECT_EQ(store.Extra[4], 42);
  EXPECT_EQ(store.Label[4].View(), "01/11 00:00:02.000");
}

TEST_F(GraphWindow, FewerThanSixLinesIsTheScrollBarsRangeError) {
  std::vector<std::string> five{"Start Year=2023 @1G=10", "header", DataLine(1, 11, 0, 1, 2, 3),
                                DataLine(1, 11, 1000, 1, 2, 3), DataLine(1, 11, 2000, 1, 2, 3)};
  Open(five);
  ASSERT_EQ(Modals().Messages().size(), 1u);
  EXPECT_EQ(Modals().Messages()[0], "スクロールバー プロパティが範囲を越えました");
  EXPECT_EQ(f2->Label1->Caption(), "count");

  // Six lines parse nothing but are accepted.
  five.push_back(five.back());
  Open(five);
  EXPECT_EQ(Modals().Messages().size(), 1u);
  EXPECT_EQ(f2->SampleEnd, 3);
  EXPECT_EQ(f2->ScrollBar1->Max(), 3);
  EXPECT_EQ(f2->Label3->Caption(), "");
  Paint();  // no samples: nothing to draw, nothing read
  EXPECT_EQ(f2->Caption(), "start= 3end=3");
}

TEST_F(GraphWindow, TwentyThousandLinesUseLinesThreeTo19996) {
  std::vector<std::string> doc{"Start Year=2023 @1G=10", "header"};
  for (int k = 2; k < 20000; ++k) doc.push_back(DataLine(1, 11, k * 1000LL, k % 100, 0, 0));
  Open(doc);
  EXPECT_TRUE(Modals().Messages().empty());
  EXPECT_EQ(f2->SampleEnd, 19997);
  EXPECT_EQ(f2->Samples.X[19996], 96);
  EXPECT_EQ(f2->Samples.Time[19997], 0);
  EXPECT_EQ(f2->ScrollBar1->Max(), 19997);
  EXPECT_EQ(f2->ScrollBar1->Position(), 9998);
  EXPECT_EQ(f2->Label3->Caption(), doc[19996].substr(5, 14));
  EXPECT_EQ(f2->Label4->Caption(), doc[9998].substr(5, 18));
}

}  // namespace
}  // namespace dorv::testing
