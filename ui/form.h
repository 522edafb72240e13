#pragma once
#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ui/canvas.h"
#include "ui/controls.h"

namespace dorv::ui {

enum class TBorderStyle { Single, Sizeable, Dialog };
enum class TPosition { Designed, ScreenCenter, MainFormCenter };

// A window: its design (read from resources/forms/<name>.json at creation),
// the components it owns, and the events of the window itself.
class TForm : public TComponent {
 public:
  // Loads the design "forms/<designName>.json".
  explicit TForm(const std::string& designName);
  // Loads a design given as JSON text (tests, tools).
  struct DesignText {
    std::string_view json;
  };
  TForm(const std::string& name, DesignText design);
  ~TForm() override;

  // Frame sizes: the outer size is the client size plus these. They are the
  // frame the designs were laid out for (a caption bar of 19 pixels, borders
  // of 3 pixels, 4 when sizeable), so that each design's controls fit its
  // client area and a window shrunk to a strip still shows what it keeps.
  static int FrameWidth(TBorderStyle style) { return style == TBorderStyle::Sizeable ? 8 : 6; }
  static int FrameHeight(TBorderStyle style) { return style == TBorderStyle::Sizeable ? 27 : 25; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& s);
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }  // outer size
  int Height() const { return height_; }
  int ClientWidth() const { return width_ - FrameWidth(borderStyle_); }
  int ClientHeight() const { return height_ - FrameHeight(borderStyle_); }
  void SetBounds(int l, int t, int w, int h);
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  TPosition Position() const { return position_; }
  const TFont& Font() const { return font_; }
  void SetFontColor(TColor c);
  TColor Color() const { return color_; }

  bool Visible() const { return visible_; }
  // Show: visible, placed by Position, OnShow, painted at the next turn.
  void Show();
  void Hide();
  // Close: OnClose, then hidden; closing the main form ends the program.
  void Close();

  // Components by name; Find<T> throws std::logic_error for a missing name or
  // another kind (a design and its form code disagree: a programming error).
  TComponent* FindComponent(const std::string& name) const;
  template <class T>
  T* Find(const std::string& name) const {
    auto* c = dynamic_cast<T*>(FindComponent(name));
    if (!c) throw std::logic_error(Name() + ": no component " + name + " of the expected kind");
    return c;
  }
  const std::vector<std::unique_ptr<TComponent>>& Components() const { return components_; }
  // The design entry of a component of a kind the toolkit does not know.
  const nlohmann::json* DesignOf(const std::string& name) const;

  // Events of the window.
  TNotifyEvent OnShow;
  TNotifyEvent OnClose;
  TNotifyEvent OnResize;
  std::function<void(TCanvas&)> OnPaint;
  std::function<void(TMouseButton, int x, int y)> OnMouseDown;
  std::function<void(TMouseButton, int x, int y)> OnMouseUp;
  // The pointer moved while a button is held.
  std::function<void(int x, int y)> OnMouseMove;
  // The wheel turned: delta in eighths of a degree, 120 a notch, positive
  // away from the user.
  std::function<void(int delta, int x, int y)> OnMouseWheel;

  // Runs the creation handler (after the global reference is set).
  virtual void DoCreate() {}

  // Asks for a paint at the next turn of the event loop. A front end that
  // draws the window sets the hook; without one the form paints on an
  // off-screen canvas (LastPaint).
  void Invalidate();
  void SetInvalidateHook(std::function<void()> hook) { invalidateHook_ = std::move(hook); }
  // Paints now on the given canvas (the front end's paint event, printing).
  void PaintOn(TCanvas& canvas);
  // The canvas of the paint running now (null outside a paint).
  TCanvas* Canvas() const { return paintCanvas_; }
  const TRecordingCanvas& LastPaint() const { return offscreen_; }
  int PaintCount() const { return paintCount_; }

  // An image of the client area as it is drawn now (RGB, 3 bytes a pixel):
  // the front end grabs its real window through the hook; without one the
  // form renders its paint and controls in memory.
  using GrabHook = std::function<void(int& w, int& h, std::vector<unsigned char>& rgb)>;
  void SetGrabHook(GrabHook hook) { grabHook_ = std::move(hook); }
  void GrabClientImage(int& w, int& h, std::vector<unsigned char>& rgb);

  // A user's mouse press on the window surface.
  void UserMouseDown(TMouseButton b, int x, int y);
  void UserMouseUp(TMouseButton b, int x, int y);
  void UserMouseMove(int x, int y);
  void UserMouseWheel(int delta, int x, int y);

  bool GetProperty(const std::string& prop, std::string& out) const override;
  // State variables of the window by name, for scripts ("LoggerReady", ...).
  virtual bool GetStateVariable(const std::string& name, std::string& out) const;

 private:
  void LoadDesign(std::string_view designJson);

  std::string caption_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = false;
  TBorderStyle borderStyle_ = TBorderStyle::Sizeable;
  TPosition position_ = TPosition::Designed;
  TFont font_;
  TColor color_ = clBtnFace;
  std::vector<std::unique_ptr<TComponent>> components_;
  std::vector<std::pair<std::string, std::shared_ptr<nlohmann::json>>> foreign_;
  std::function<void()> invalidateHook_;
  GrabHook grabHook_;
  TRecordingCanvas offscreen_;
  TCanvas* paintCanvas_ = nullptr;
  bool paintPending_ = false;
  int paintCount_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace dorv::ui
