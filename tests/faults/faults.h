#pragma once
// Faults end to end: the end-to-end fixture, a logger that can be plugged in
// anew, and a private mount namespace for file systems made to fail.
#include <sched.h>
#include <sys/mount.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "e2e/e2e.h"

namespace dorv::testing {

class Faults : public E2E {
 public:
  // Mounts a tmpfs of `kb` kilobytes at path, in a mount namespace of this
  // test process alone (the programs it starts share it); false when this
  // process may not (not root).
  bool MountTmpfs(const std::string& path, int kb) {
    if (mounts_.empty()) {
      if (unshare(CLONE_NEWNS) != 0) return false;
      if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    }
    std::filesystem::create_directories(path);
    std::string size = "size=" + std::to_string(kb) + "k";
    if (mount("tmpfs", path.c_str(), "tmpfs", 0, size.c_str()) != 0) return false;
    mounts_.push_back(path);
    return true;
  }
  static bool RemountReadOnly(const std::string& path) {
    return mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 protected:
  ~Faults() override {
    if (replug_.joinable()) replug_.join();
    for (auto& m : mounts_) umount2(m.c_str(), MNT_DETACH);
  }

  bool Registered(int com) const {
    return std::filesystem::exists(dir.path + "/ports/COM" + std::to_string(com));
  }

  // Once the logger on COM<gone> has left the system, waits a few ticks of the
  // utility (so that it sees no logger) and plugs a new one in on COM<com>.
  void ReplugAfterUnplug(int gone, int com) {
    replug_ = std::thread([this, gone, com] {
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (Registered(gone) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      std::this_thread::sleep_for(std::chrono::milliseconds(2500));
      replugged_ = StartLogger(com);
    });
  }

  std::unique_ptr<BackgroundProcess> replugged_;

 private:
  std::thread replug_;
  std::vector<std::string> mounts_;
};

// Connected, and the second status answer of the connect (which comes after
// the exchange has ended) is over, as it is before a person acts.
inline const std::string kSettled = std::string(kConnected) + "wait 500\n";

// The value a script printed for NAME ("NAME=VALUE"), empty when none.
inline std::string Printed(const std::string& out, const std::string& name) {
  size_t p = out.find(name + "=");
  if (p == std::string::npos) return "";
  p += name.size() + 1;
  return out.substr(p, out.find('\n', p) - p);
}

}  // namespace dorv::testing
