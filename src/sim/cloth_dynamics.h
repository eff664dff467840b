// Cloth dynamics: the mass-spring step of the flag and its normal pass.
// Per frame the caller runs tickTimer, stepCloth, copies grid.current into
// the vertex buffer, then updateClothNormals (the copy comes first, so the
// shading drawn with new positions is the one from the previous pass).
#pragma once

#include <cstdint>

#include "sim/cloth_grid.h"
#include "sim/frame_timer.h"
#include "sim/random.h"
#include "sim/vector_math.h"
#include "sim/wind.h"

// Step size of the cloth, calibrated once from the mean frame rate of frames
// 101 to 200 so that a second of real time is about one unit of cloth time.
// Below 40 frames per second a frame takes several steps, each as long as
// at the rate they add up to: a longer step would make the springs ring.
// Lives for the process; a default-constructed record starts calibration.
struct StepCalibration {
  int32_t calibrationFrames = 0;  // frames counted towards calibration, 0 … 200
  float rateSum = 0.0f;           // sum of the sampled frame rates
  float stepSize = 0.0f;          // step h of the current frame
  float forceScale = 0.0f;        // h / 0.02: force to velocity change
  int32_t stepsPerFrame = 1;      // steps of size h the current frame takes
};

struct SpringType {
  float restLength;
  float stiffness;
};

// Rest lengths are the start grid's spacings, so the flat grid is at rest.
constexpr SpringType horizontalSpring = {1.0f, 20.5f};
constexpr SpringType verticalSpring = {0.75f, 26.7f};
constexpr SpringType shearSpring = {1.25f, 16.0f};

constexpr float kGravity = 0.098f;         // downwards, per unit mass
constexpr float kVelocityDamping = 0.98f;  // velocity kept per step
constexpr float kShortestSpring = 0.05f;   // shorter springs count as this long
constexpr float kMinExtension = -2.0f;     // limits of 1 − rest / length
constexpr float kMaxExtension = 0.333f;
constexpr float kFirstStepSize = 0.014f;  // step during calibration
constexpr int32_t kCalibrationFrames = 200;
constexpr int32_t kFirstSampledFrame = 100;  // frames 101 … 200 are sampled
constexpr float kSampledFrames = 100.0f;
constexpr float kMinCalibrationRate = 40.0f;
constexpr float kMaxCalibrationRate = 120.0f;
constexpr int32_t kMaxStepsPerFrame = 4;  // enough for 10 frames per second
constexpr float kPreviewStepFactor = 0.7f;
constexpr float kForceDivisor = 0.02f;

// One frame's steps: step size, then for each step advanceWind (over its
// share of the frame), swap of current and previous, springs on the previous
// positions, integration into current, pole held; between two steps the
// normal pass. Reads timer.framesPerSecond and timer.frameSeconds; may draw
// twice from rng per step.
void stepCloth(ClothGrid& grid, StepCalibration& calibration, WindState& wind,
               const FrameTimer& timer, RandomGenerator& rng, bool isPreview);

// Sets calibration.stepSize, forceScale and stepsPerFrame for this frame and
// counts the frame towards calibration (the first part of stepCloth).
void chooseStepSize(StepCalibration& calibration, float framesPerSecond, bool isPreview);

// Calibration from the start again, with no samples: the frame rate is about
// to change (a new pace).
void restartStepCalibration(StepCalibration& calibration);

// Adds the force of spring between positions a and b to forceA and subtracts
// it from forceB (the fx, fy, fz of each particle). A spring of length 0.05 or
// less (or NaN) counts as 0.05 long and restarts calibration.
void applySpring(const FlagVertex& a, const FlagVertex& b, ClothParticle& forceA,
                 ClothParticle& forceB, const SpringType& spring, StepCalibration& calibration);

// Normal-and-base-force pass over grid.current: vertex normals from the cell
// faces, wind pressure along them plus gravity into the particle forces
// (bottom row 0 … 31 gravity only), shading triple = normal + (0.5, 0.5, 0).
// Velocities are not touched. Zero-length normals stay (0, 0, 0).
void updateClothNormals(ClothGrid& grid, const Vector3& windVector);

// Scene set-up of the cloth: clears the three arrays, lays out the start
// grid into current (and the index list when grid.indices is set), runs the
// normal pass with windVector and copies current into previous.
void setUpCloth(ClothGrid& grid, const Vector3& windVector);
