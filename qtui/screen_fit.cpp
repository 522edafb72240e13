#include "qtui/screen_fit.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "resources/resources.h"
#include "viewer/graph_window.h"

namespace dorv::qtui {

namespace {
// What a window manager's frame and title bar may add beyond the frame the
// designs count in their outer sizes.
constexpr int kFrameAllowanceWidth = 8;
constexpr int kFrameAllowanceHeight = 24;
}  // namespace

double FittingScale(double current, QSize available, QSize needed) {
  if (needed.width() <= 0 || needed.height() <= 0 || available.width() <= 0 ||
      available.height() <= 0)
    return current;
  const double ratio = std::min(double(available.width()) / needed.width(),
                                double(available.height()) / needed.height());
  if (ratio >= 1) return current;
  return std::max(0.05, std::floor(current * ratio * 20) / 20);
}

QSize NeededScreenSize() {
  auto design = nlohmann::json::parse(resources::Get("forms/Form1.json"));
  int w = std::max(design.value("width", 0), viewer::kGraphWindowWidth);
  int h = std::max(design.value("height", 0), viewer::kGraphWindowHeight);
  return QSize(w + kFrameAllowanceWidth, h + kFrameAllowanceHeight);
}

}  // namespace dorv::qtui
