#include "host/frame_pacing.h"

PowerState powerStateFromStatus(uint8_t acLineStatus, uint8_t systemStatusFlag) {
  PowerState power;
  power.onBattery = acLineStatus == 0;
  power.batterySaver = (systemStatusFlag & 1) != 0;
  return power;
}

bool savesPower(PowerState power) {
  return power.onBattery || power.batterySaver;
}

uint32_t pacedFrameRate(PacedView view, PowerState power, uint32_t refreshRateHz) {
  bool saving = savesPower(power);
  if (view == PacedView::Preview) return saving ? kPreviewBatteryFrameRate : kPreviewFrameRate;
  uint32_t refresh = refreshRateHz > 1 ? refreshRateHz : kDefaultRefreshRate;
  return saving && refresh > kBatteryFrameRate ? kBatteryFrameRate : refresh;
}

FramePacer makeFramePacer(uint32_t frameRate, bool exclusive, double nowMs) {
  double rate = frameRate > 0 ? frameRate : 1;
  if (exclusive) rate *= kFullScreenPaceFactor;
  return FramePacer{1000.0 / rate, nowMs};
}

double msUntilFrame(const FramePacer& pacer, double nowMs) {
  double left = pacer.nextDueMs - nowMs;
  return left > 0.0 ? left : 0.0;
}

void startPacedFrame(FramePacer& pacer, double nowMs) {
  double due = pacer.nextDueMs;
  if (nowMs - due >= pacer.periodMs) due = nowMs;
  pacer.nextDueMs = due + pacer.periodMs;
}

PaceCheck startPaceCheck(double nowMs) {
  return PaceCheck{nowMs + kPaceCheckDelayMs, 0, 0.0, false};
}

bool frameFallsShort(PaceCheck& check, double nowMs, uint32_t frameRate) {
  if (check.over || nowMs < check.startMs) return false;
  if (check.lastMs > 0.0 && nowMs - check.lastMs >= kPaceCheckPauseMs) {
    check.startMs = nowMs;
    check.frames = 0;
  }
  check.lastMs = nowMs;
  double elapsed = nowMs - check.startMs;
  if (elapsed < kPaceCheckMs) {
    ++check.frames;
    return false;
  }
  check.over = true;
  return check.frames < kPaceCheckShare * frameRate * elapsed / 1000.0;
}
