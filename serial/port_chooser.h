#pragma once
#include <functional>
#include <string>

#include "ui/form.h"

namespace dorv::serial {

// Results of a modal form.
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3 };

// True when port n exists: it opens, or another program holds it.
bool IsPortAvailable(int n);

// The port chooser: lists the available ports COM1 to COM50 and lets the
// user pick one (OK) or give up (Cancel, or closing the window).
class TComSelectForm : public ui::TForm {
 public:
  TComSelectForm();
  ~TComSelectForm() override;

  void FormCreate();
  std::string SelectedCom() const;
  // The number of the selected port; 0 when the list is empty.
  int SelectedComNum() const;

  // Shows the form and runs the user-interface loop until it is closed.
  int ShowModal();
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int r) { modalResult_ = r; }

  // The chooser being shown (null when none), for whoever answers it.
  static TComSelectForm* Showing();
  // Replaces how the form is shown modally (a front end with a loop of its
  // own); it returns when ModalResult is set.
  static void SetModalRunner(std::function<void(TComSelectForm&)> runner);

 private:
  int modalResult_ = mrNone;
};

// Shows the chooser; true with n set when the user confirmed a port.
bool ChoosePort(uint16_t& n);

}  // namespace dorv::serial
