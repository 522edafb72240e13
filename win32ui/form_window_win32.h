#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/form.h"
#include "win32ui/win32.h"

namespace dorv::win32ui {

// Runs a user's action on the model the way the toolkit does: an exception
// that escapes goes to the application's exception display. Afterwards the
// front end's hook runs (it ends the message loop once the program was told
// to end).
void RunUserAction(const std::function<void()>& action);
void SetAfterUserAction(std::function<void()> hook);

// One control of a form as a native child window, kept in step with the
// model through the model's observers; the window's notifications enter the
// model through the same entry points as the script runner's.
class ControlView {
 public:
  virtual ~ControlView();
  ControlView(const ControlView&) = delete;
  ControlView& operator=(const ControlView&) = delete;

  ui::TControl& Model() const { return model_; }
  HWND Handle() const { return hwnd_; }

  // Notifications from the parent form: WM_COMMAND (code), WM_NOTIFY,
  // WM_HSCROLL/WM_VSCROLL (request), WM_CTLCOLOR* (returns a brush or null
  // for the default).
  virtual void OnCommand(int) {}
  virtual LRESULT OnNotify(NMHDR*) { return 0; }
  virtual void OnScroll(int) {}
  virtual HBRUSH OnColor(HDC) { return nullptr; }

 protected:
  ControlView(ui::TControl& model, HWND hwnd);
  // Call at the end of the derived constructor: brings the window up to date
  // and starts following the model.
  void Attach();
  void Update(ui::Prop p);
  // What Update does for each kind; the base handles geometry, visibility,
  // enabled state, font and focus.
  virtual void Sync(ui::Prop p);
  virtual RECT Bounds() const;
  bool Syncing() const { return syncing_ > 0; }

 private:
  ui::TControl& model_;
  HWND hwnd_;
  int observer_ = 0;
  int syncing_ = 0;
};

// A native window for a control of any kind, child of parent. Null for
// components that are not controls.
std::unique_ptr<ControlView> MakeControlView(ui::TControl& control, HWND parent, int id);

// A form as a top-level window: caption, geometry (the client area is the
// outer size less the toolkit's frame), border style, visibility and paint
// follow the model; the close box, mouse and the user's moves and resizes
// go to the model.
class FormWindow {
 public:
  explicit FormWindow(ui::TForm& form);
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  ui::TForm& Model() const { return form_; }
  HWND Handle() const { return hwnd_; }
  // The native window of a control by name (null when there is none); asking
  // makes the controls of a window not yet shown.
  HWND ControlHandle(const std::string& name);
  // The client area as drawn now (RGB, 3 bytes a pixel, rows top down).
  void ClientImage(int& w, int& h, std::vector<unsigned char>& rgb);

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void MakeControls();
  void Sync(ui::Prop p);
  void ApplyGeometry();
  void TakeGeometryFromWindow();
  void Paint(HDC dc);
  ControlView* ViewOf(HWND child) const;

  ui::TForm& form_;
  HWND hwnd_ = nullptr;
  std::vector<std::unique_ptr<ControlView>> controls_;
  bool controlsMade_ = false;
  int observer_ = 0;
  int applying_ = 0;
};

// Shows a form that has no window of its own yet (the port chooser) as a
// modal window, and runs the message loop until done() holds.
void RunModalForm(ui::TForm& form, const std::function<bool()>& done);

// Pumps the waiting messages of this thread (paints, above all).
void PumpMessages();

// Dispatches one message of a message loop, the keys that move between a
// form's controls (Tab, Shift+Tab) handled as in a dialog.
void DispatchFormMessage(MSG& msg);

}  // namespace dorv::win32ui
