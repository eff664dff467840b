#include "sim/wind.h"

namespace {

// Frames longer than this count as this long, so a pause (a dialog, a lost
// device) does not skip the wind ahead.
constexpr float kLongestWindStep = 0.01f;
constexpr float kPhasePerSecond = 0.1f;
constexpr float kWindPowerDivisor = 80.0f;
constexpr float kWindPowerBase = 0.25f;
constexpr int kLeastWindPower = 0;
constexpr int kMostWindPower = 100;

void startNextSegment(WindChannel& channel, RandomGenerator& rng) {
  channel.p0 = channel.p1;
  channel.p1 = channel.key;
  channel.t0 = channel.t1;
  channel.lastKey = channel.key;
  channel.key = randomUniform(rng) * channel.scale + channel.offset;
  channel.t1 = channel.key - channel.lastKey;
}

float channelValue(const WindChannel& channel, const float w[4]) {
  return w[0] * channel.p0 + w[1] * channel.p1 + w[2] * channel.t0 + w[3] * channel.t1;
}

}  // namespace

// The dialog only offers 0 … 100, but the registry can hold any number; a
// factor far outside 0.25 … 1.5 blows the cloth apart (it leaves the screen
// or turns non-finite), so a stored value outside the range counts as its end.
float windPowerFactorFor(int windPower) {
  if (windPower < kLeastWindPower) windPower = kLeastWindPower;
  if (windPower > kMostWindPower) windPower = kMostWindPower;
  return static_cast<float>(windPower) / kWindPowerDivisor + kWindPowerBase;
}

void setWindPower(WindState& wind, int windPower) {
  wind.windPowerFactor = windPowerFactorFor(windPower);
}

void advanceWind(WindState& wind, float frameSeconds, RandomGenerator& rng) {
  float step = frameSeconds;
  if (!(step >= 0.0f)) step = 0.0f;  // a damaged timer value must not stall the curve at NaN
  if (step > kLongestWindStep) step = kLongestWindStep;
  wind.phase += step * kPhasePerSecond;
  if (wind.phase > 1.0f) {
    startNextSegment(wind.channelX, rng);
    startNextSegment(wind.channelZ, rng);
    wind.phase = 0.0f;
  }

  float w[4];
  hermiteBasis(w, wind.phase);
  wind.windVector.x = wind.windPowerFactor * channelValue(wind.channelX, w);
  wind.windVector.y = 0.0f;
  wind.windVector.z = wind.windPowerFactor * channelValue(wind.channelZ, w);
}
