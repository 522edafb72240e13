#pragma once
// The graph window (TForm2): the handed-over data as a time graph of the
// three axes, the temperature and the fifth value, with a time scale, a
// cursor line, a mouse-marked range that feeds the statistics window, and
// printing. Handlers here; the paint and the statistics in graph_paint.cpp.
#include <functional>
#include <map>
#include <string>

#include "forms/Form2_controls.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "viewer/graph_store.h"

namespace dorv::viewer {

// The graph window's size when the main window's graph button opens it.
inline constexpr int kGraphWindowWidth = 800;
inline constexpr int kGraphWindowHeight = 550;

class TForm2 : public ui::TForm, public designs::Form2Controls<TForm2> {
 public:
  TForm2();
  ~TForm2() override;
  void DoCreate() override { FormCreate(); }

  // ---- Handlers ----
  void FormCreate();
  void FormShow();
  void FormClose();
  void FormPaint(ui::TCanvas& canvas);
  void FormMouseDown(ui::TMouseButton button, int x, int y);
  void Button1Click();  // refill Memo1 from the main window's record lines
  void Button2Click();  // print
  void Button4Click();  // parse Memo1 into the store
  void ScrollBar1Change();
  void ComboBox1Change();
  void ComboBox2Change();
  void CheckBox1Click();
  void CheckBox2Click();
  void CheckBox3Click();
  void Edit1DblClick();
  void Button5Click();  // all-axis statistics (all_axis_statistics_window.cpp)
  void Button6Click();  // one-page PDF report (graph_report.cpp)
  // Wheel and right-button drag (graph_navigation.cpp).
  void GraphMouseDown(ui::TMouseButton button, int x, int y);
  void GraphMouseMove(int x, int y);
  void GraphMouseUp(ui::TMouseButton button, int x, int y);
  void GraphMouseWheel(int delta, int x, int y);

  // ---- Sample store ----
  SampleStore Samples;
  int SampleEnd = kFirstSample;  // one past the last sample stored by the last parse

  // ---- Window state ----
  int PlotOriginX = 28;
  int PlotOriginY = 0;
  int CursorX = 0;
  int CursorY = 0;
  int TimeScaleMul = 1;
  int TimeScaleDiv = 1;
  int TimeScaleUnit = 300;
  int RangeWidth = 0;
  int RangeStartIndex = 0;
  int RangeEndIndex = 0;
  std::string RangeStartText;
  std::string RangeEndText;
  int StatAxis = 0;

  // ---- Navigation: a right-button drag and the wheel's unused part ----
  struct Drag {
    bool active = false;
    bool moved = false;
    int startX = 0, startY = 0;
    int startPosition = 0;
    // The marked range from before the press, back once the press turns
    // out to be a drag.
    int rangeWidth = 0;
    std::string rangeStartText;
    bool statisticsShown = false;
  } RightDrag;
  int WheelRest = 0;

  // ---- Statistics of the marked range (shown by the statistics window) ----
  int StatMax = 0;
  int StatMin = 0;
  int StatMean = 0;
  int StatCount = 0;

  // The index of the sample drawn at the cursor: the scroll position, kept
  // inside the samples stored (kFirstSample when there are none).
  int CursorSample() const;
  // Counts of raw data per 1 G as the main window holds it.
  int Divisor() const;

  bool GetStateVariable(const std::string& name, std::string& out) const override;

 private:
  void ComputeStatistics();
  std::string LabelText(int index) const;
  std::map<std::string, std::function<std::string()>> stateVars_;
};

extern TForm2* Form2;

}  // namespace dorv::viewer
