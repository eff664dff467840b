// Wind: a horizontal vector whose x and z components each follow a cubic
// Hermite curve between random keys, scaled by the user's wind power.
#pragma once

#include "sim/random.h"
#include "sim/vector_math.h"

// The curve of one wind component.
struct WindChannel {
  float p0;       // value at the start of the running segment
  float p1;       // value at its end
  float t0;       // slope at its start
  float t1;       // slope at its end
  float lastKey;  // the key before key
  float key;      // end value of the following segment
  float scale;    // width of the range of random keys
  float offset;   // lower end of the range of random keys
};

// A default-constructed WindState holds the start values; it lives for the
// process and is not reset when the scene is rebuilt.
struct WindState {
  WindChannel channelX = {0.0f, 0.8f, 0.0f, 0.7f, 0.0f, 0.4f, 0.7f, 0.4f};
  WindChannel channelZ = {0.0f, 0.3f, 0.0f, -0.2f, 0.0f, 0.7f, 1.2f, 0.0f};
  float phase = 0.0f;                        // position within the running segment, 0 … 1
  float windPowerFactor = 0.0f;              // set at scene set-up by setWindPower
  Vector3 windVector = {0.5f, 0.0f, 0.25f};  // the output; y is always 0
};

// windPower / 80 + 0.25 (the setting runs 0 … 100, giving 0.25 … 1.5);
// a stored value outside 0 … 100 is taken as the nearer end.
float windPowerFactorFor(int windPower);

// Stores windPowerFactorFor(windPower) in wind; called at every scene set-up.
void setWindPower(WindState& wind, int windPower);

// Advances the phase by min(frameSeconds, 0.01) × 0.1; past 1 it starts a new
// segment with one draw for x and then one for z; then recomputes windVector.
void advanceWind(WindState& wind, float frameSeconds, RandomGenerator& rng);
