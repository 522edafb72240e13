#pragma once
// The windows keep their designed sizes in the screen's logical pixels; at a
// large scale (QT_SCALE_FACTOR, a high-density screen) they may not fit the
// screen. The program then runs at the largest smaller scale at which they do.
#include <QSize>

namespace dorv::qtui {

// The scale at which windows of `needed` logical pixels (measured at
// `current`) fit `available`: `current` when they fit, else the largest
// smaller scale in steps of 1/20 at which they do.
double FittingScale(double current, QSize available, QSize needed);

// The logical size that the program's windows need on the screen: the main
// window's design and the graph window as the graph button opens it, with
// room for the window manager's frame.
QSize NeededScreenSize();

}  // namespace dorv::qtui
