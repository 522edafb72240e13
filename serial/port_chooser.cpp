#include "serial/port_chooser.h"

#include <chrono>

#include "serial/comm_dispatcher.h"
#include "serial/serial_errors.h"
#include "ui/application.h"
#include "ui/event_loop.h"
#include "ui/text.h"

namespace dorv::serial {

namespace {
TComSelectForm* g_showing = nullptr;  // user-interface thread only
std::function<void(TComSelectForm&)>& ModalRunner() {
  static std::function<void(TComSelectForm&)> runner;
  return runner;
}
}  // namespace

bool IsPortAvailable(int n) {
  if (n <= 0) return false;
  TCommDispatcher probe(nullptr);
  int32_t rc = probe.OpenCom("\\\\.\\COM" + std::to_string(n), 64, 64);
  if (rc == 0) {
    probe.CloseCom();
    return true;
  }
  // Held by another program, or not ours to use: the port exists.
  return rc == -platform::kErrSharingViolation || rc == -platform::kErrAccessDenied;
}

TComSelectForm::TComSelectForm() : ui::TForm("ComSelectForm") {
  Find<ui::TButton>("OkBtn")->OnClick = [this] { modalResult_ = mrOk; };
  Find<ui::TButton>("AbortBtn")->OnClick = [this] { modalResult_ = mrAbort; };
  // The window's close button.
  OnClose = [this] {
    if (modalResult_ == mrNone) modalResult_ = mrCancel;
  };
}

TComSelectForm::~TComSelectForm() {
  if (g_showing == this) g_showing = nullptr;
}

void TComSelectForm::FormCreate() {
  auto* box = Find<ui::TComboBox>("PortsComboBox");
  box->ClearItems();
  for (int n = 1; n <= 50; ++n)
    if (IsPortAvailable(n)) box->AddItem(ui::Format("COM%d", n));
  if (!box->Items().empty()) box->SetItemIndex(0);
}

std::string TComSelectForm::SelectedCom() const {
  auto* box = Find<ui::TComboBox>("PortsComboBox");
  int i = box->ItemIndex();
  if (i < 0 || i >= static_cast<int>(box->Items().size())) return "";
  return box->Items()[i];
}

int TComSelectForm::SelectedComNum() const {
  std::string s = SelectedCom();
  if (s.size() <= 3) return 0;
  return ui::StrToIntDef(s.substr(3), 0);
}

TComSelectForm* TComSelectForm::Showing() {
  return g_showing;
}

void TComSelectForm::SetModalRunner(std::function<void(TComSelectForm&)> runner) {
  ModalRunner() = std::move(runner);
}

int TComSelectForm::ShowModal() {
  modalResult_ = mrNone;
  TComSelectForm* outer = g_showing;
  g_showing = this;
  Show();
  if (ModalRunner()) {
    ModalRunner()(*this);
  } else if (ui::EventLoop* loop = ui::EventLoop::Current()) {
    while (modalResult_ == mrNone)
      loop->RunUntil([this] { return modalResult_ != mrNone; }, std::chrono::hours(1));
  }
  if (modalResult_ == mrNone) modalResult_ = mrCancel;
  Hide();
  g_showing = outer;
  return modalResult_;
}

bool ChoosePort(uint16_t& n) {
  TComSelectForm form;
  form.FormCreate();
  if (form.ShowModal() != mrOk) return false;
  int num = form.SelectedComNum();
  if (num <= 0 || num > 0xFFFF) return false;  // OK with nothing to choose
  n = static_cast<uint16_t>(num);
  return true;
}

}  // namespace dorv::serial
