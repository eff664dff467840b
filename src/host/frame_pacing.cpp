#include "host/frame_pacing.h"

uint32_t pacedFrameRate(bool preview, uint32_t refreshRateHz) {
  if (preview) return kPreviewFrameRate;
  return refreshRateHz > 1 ? refreshRateHz : kDefaultRefreshRate;
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
