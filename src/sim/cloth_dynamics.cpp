#include "sim/cloth_dynamics.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace {

constexpr int kColumns = kClothColumns;
constexpr int kLastRow = kClothRows - 1;
constexpr int kLastColumn = kClothColumns - 1;

inline int vertexAt(int row, int column) {
  return row * kColumns + column;
}

inline Vector3 positionOf(const FlagVertex& vertex) {
  return Vector3{vertex.x, vertex.y, vertex.z};
}

inline void springForce(const FlagVertex& a, const FlagVertex& b, ClothParticle& forceA,
                        ClothParticle& forceB, const SpringType& spring,
                        StepCalibration& calibration) {
  float dx = b.x - a.x;
  float dy = b.y - a.y;
  float dz = b.z - a.z;
  float length = std::sqrt(dx * dx + dy * dy + dz * dz);
  if (!(length > kShortestSpring)) {
    // A collapsed spring means the cloth has been driven too hard for the
    // step size: measure the frame rate again.
    length = kShortestSpring;
    calibration.calibrationFrames = 0;
  }
  float stretch = 1.0f - spring.restLength / length;
  if (stretch < kMinExtension) stretch = kMinExtension;
  if (stretch >= kMaxExtension) stretch = kMaxExtension;
  float k = spring.stiffness * stretch;
  float fx = k * dx;
  float fy = k * dy;
  float fz = k * dz;
  forceA.fx += fx;
  forceA.fy += fy;
  forceA.fz += fz;
  forceB.fx -= fx;
  forceB.fy -= fy;
  forceB.fz -= fz;
}

// Rows, columns and both diagonals of every cell, each spring once per step.
void applyAllSprings(const FlagVertex* positions, ClothParticle* particles,
                     StepCalibration& calibration) {
  auto spring = [&](int a, int b, const SpringType& type) {
    springForce(positions[a], positions[b], particles[a], particles[b], type, calibration);
  };
  for (int i = 0; i < kLastRow; ++i) {
    for (int j = 0; j < kLastColumn; ++j) {
      spring(vertexAt(i, j + 1), vertexAt(i, j), horizontalSpring);
      spring(vertexAt(i, j), vertexAt(i + 1, j), verticalSpring);
      spring(vertexAt(i, j + 1), vertexAt(i + 1, j), shearSpring);
      spring(vertexAt(i, j), vertexAt(i + 1, j + 1), shearSpring);
    }
    spring(vertexAt(i, kLastColumn), vertexAt(i + 1, kLastColumn), verticalSpring);
  }
  for (int j = 0; j < kLastColumn; ++j)
    spring(vertexAt(kLastRow, j), vertexAt(kLastRow, j + 1), horizontalSpring);
}

// Semi-implicit Euler with damping: the new velocity moves the particle.
void integrate(const FlagVertex* previous, FlagVertex* current, ClothParticle* particles,
               float stepSize, float forceScale) {
  for (int k = 0; k < kClothVertexCount; ++k) {
    ClothParticle& p = particles[k];
    p.vx = p.vx * kVelocityDamping + p.fx * forceScale;
    p.vy = p.vy * kVelocityDamping + p.fy * forceScale;
    p.vz = p.vz * kVelocityDamping + p.fz * forceScale;
    current[k].x = previous[k].x + p.vx * stepSize;
    current[k].y = previous[k].y + p.vy * stepSize;
    current[k].z = previous[k].z + p.vz * stepSize;
  }
}

// The pole vertices keep their place; their velocities run on unused.
void holdPole(const FlagVertex* previous, FlagVertex* current) {
  for (int k : kPinnedVertices) {
    current[k].x = previous[k].x;
    current[k].y = previous[k].y;
    current[k].z = previous[k].z;
  }
}

inline void addToShading(FlagVertex& vertex, const Vector3& n) {
  vertex.sx += n.x;
  vertex.sy += n.y;
  vertex.sz += n.z;
}

// Sums the two face normals of every cell (split along P00-P11) into the
// shading triples of their corners.
void gatherFaceNormals(FlagVertex* vertices) {
  for (int i = 0; i < kLastRow; ++i) {
    for (int j = 0; j < kLastColumn; ++j) {
      FlagVertex& v00 = vertices[vertexAt(i, j)];
      FlagVertex& v10 = vertices[vertexAt(i + 1, j)];
      FlagVertex& v11 = vertices[vertexAt(i + 1, j + 1)];
      FlagVertex& v01 = vertices[vertexAt(i, j + 1)];
      Vector3 p00 = positionOf(v00);
      Vector3 p10 = positionOf(v10);
      Vector3 p11 = positionOf(v11);
      Vector3 p01 = positionOf(v01);
      Vector3 up, diagonal, across, n;
      vectorSubtract(up, p10, p00);
      vectorSubtract(diagonal, p11, p00);
      vectorSubtract(across, p01, p00);

      vectorNormalize(n, vectorCross(n, up, diagonal));
      addToShading(v11, n);
      addToShading(v00, n);
      addToShading(v10, n);

      vectorNormalize(n, vectorCross(n, diagonal, across));
      addToShading(v11, n);
      addToShading(v01, n);
      addToShading(v00, n);
    }
  }
}

}  // namespace

void chooseStepSize(StepCalibration& calibration, float framesPerSecond, bool isPreview) {
  float h;
  int32_t steps = 1;
  if (calibration.calibrationFrames >= kCalibrationFrames) {
    float rate = calibration.rateSum / kSampledFrames;
    if (!(rate >= 0.0f)) rate = kMinCalibrationRate;  // NaN too
    while (rate * static_cast<float>(steps) < kMinCalibrationRate && steps < kMaxStepsPerFrame)
      ++steps;
    rate *= static_cast<float>(steps);
    if (rate < kMinCalibrationRate) rate = kMinCalibrationRate;
    if (rate >= kMaxCalibrationRate) rate = kMaxCalibrationRate;
    float x = rate / 100.0f;
    h = 1.2f / (x * x * 80.0f + 40.0f);
  } else {
    int32_t n = calibration.calibrationFrames;
    calibration.calibrationFrames = n + 1;
    if (n >= kFirstSampledFrame) calibration.rateSum += framesPerSecond;
    h = kFirstStepSize;
  }
  if (isPreview) h *= kPreviewStepFactor;
  calibration.stepSize = h;
  calibration.forceScale = h / kForceDivisor;
  calibration.stepsPerFrame = steps;
}

void restartStepCalibration(StepCalibration& calibration) {
  calibration.calibrationFrames = 0;
  calibration.rateSum = 0.0f;
}

void applySpring(const FlagVertex& a, const FlagVertex& b, ClothParticle& forceA,
                 ClothParticle& forceB, const SpringType& spring, StepCalibration& calibration) {
  springForce(a, b, forceA, forceB, spring, calibration);
}

void stepCloth(ClothGrid& grid, StepCalibration& calibration, WindState& wind,
               const FrameTimer& timer, RandomGenerator& rng, bool isPreview) {
  chooseStepSize(calibration, timer.framesPerSecond, isPreview);
  int32_t steps = calibration.stepsPerFrame;
  for (int32_t step = 0; step < steps; ++step) {
    // The forces of a later step come from the positions of the one before.
    if (step > 0) updateClothNormals(grid, wind.windVector);
    advanceWind(wind, timer.frameSeconds / static_cast<float>(steps), rng);
    std::swap(grid.current, grid.previous);
    applyAllSprings(grid.previous, grid.particles, calibration);
    integrate(grid.previous, grid.current, grid.particles, calibration.stepSize,
              calibration.forceScale);
    holdPole(grid.previous, grid.current);
  }
}

void updateClothNormals(ClothGrid& grid, const Vector3& windVector) {
  FlagVertex* vertices = grid.current;
  for (int k = 0; k < kClothVertexCount; ++k)
    vertices[k].sx = vertices[k].sy = vertices[k].sz = 0.0f;

  gatherFaceNormals(vertices);

  for (int k = 0; k < kClothVertexCount; ++k) {
    FlagVertex& vertex = vertices[k];
    Vector3 n = {vertex.sx, vertex.sy, vertex.sz};
    vectorNormalize(n, n);
    // Wind presses along the normal with its component along the normal,
    // whichever way the normal faces.
    float pressure = n.x * windVector.x + n.z * windVector.z;
    ClothParticle& p = grid.particles[k];
    p.fx = pressure * n.x;
    p.fy = pressure * n.y - kGravity;
    p.fz = pressure * n.z;
    // Offset into the light-spot texture's coordinate range.
    vertex.sx = n.x + 0.5f;
    vertex.sy = n.y + 0.5f;
    vertex.sz = n.z;
  }

  // The bottom row feels no wind (all but its right-hand end).
  for (int k = 0; k < kLastColumn; ++k) {
    ClothParticle& p = grid.particles[k];
    p.fx = 0.0f;
    p.fy = -kGravity;
    p.fz = 0.0f;
  }
}

void setUpCloth(ClothGrid& grid, const Vector3& windVector) {
  std::memset(grid.current, 0, kClothVertexBytes);
  std::memset(grid.previous, 0, kClothVertexBytes);
  std::memset(grid.particles, 0, kClothParticleBytes);
  buildClothGrid(grid.current, grid.indices, kClothLeft, kClothBottom, kClothWidth, kClothHeight,
                 kClothColumns, kClothRows, 0);
  updateClothNormals(grid, windVector);
  std::memcpy(grid.previous, grid.current, kClothVertexBytes);
}
