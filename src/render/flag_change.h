// The flags changing on their own (Random Logo with a change interval): each
// view's next flag from its tour of the folder when its time comes, the
// cross-fade from one flag to the next on the waving cloth, and the soft
// start from black. When they happen is decided here, at each view's frame;
// frame_win.cpp draws them. Times are seconds of renderSeconds.
#pragma once
#include <cstdint>

struct MonitorView;

constexpr double kCrossFadeSeconds = 1.5;  // the next flag fades in over the last
constexpr double kSoftStartSeconds = 1.0;  // the run's first picture fades in from black
// Desktop mode: each other monitor's changes come this much later than the
// monitor's before it, so that not all change at once.
constexpr double kMonitorChangeStagger = 11.0;

// Seconds of a steady clock (the performance counter).
double renderSeconds();

// At a view's build, before its flag is chosen: a tour of its own (a heap
// block) where the settings tour the folder and the view picks its own flag
// (the first view, or any with "The same flag on every monitor" off). The
// view's flag choice starts it. False only when the block cannot be had: the
// view then keeps one flag.
bool makeViewTour(MonitorView& view, uint32_t index);
// After the build: the view's first change, one interval on (staggered by
// its index in Desktop mode); none without a change interval or a tour.
void scheduleFlagChanges(MonitorView& view, uint32_t index);
// The tour's block and a fading flag's texture; harmless twice.
void releaseFlagChange(MonitorView& view);

// Once per frame of a view, before it draws: ends a fade that is over and
// starts a change that is due. The first view's change carries every other
// view along, with the same flag, where they share it.
void advanceFlagChange(uint32_t index);

// 0 … 1: how far the incoming flag has faded in over the last; 0 without one.
float crossFadeAmount(const MonitorView& view);
// 0 … 1: how black the run's first second still is; 0 in the preview.
float softStartShade();
