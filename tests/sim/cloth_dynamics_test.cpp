#include <gtest/gtest.h>

#include <cmath>

#include "sim/cloth_dynamics.h"
#include "sim_test_support.h"

namespace {

constexpr double kSixtiethSecond = 1.0 / 60.0;

void expectPosition(const FlagVertex& v, float x, float y, float z, float tolerance, int k) {
  EXPECT_NEAR(v.x, x, tolerance) << "vertex " << k;
  EXPECT_NEAR(v.y, y, tolerance) << "vertex " << k;
  EXPECT_NEAR(v.z, z, tolerance) << "vertex " << k;
}

TEST(SetUpCloth, FlatGridFacesTheCameraAndFeelsTheStartWind) {
  TestSimulation sim;
  for (int k = 0; k < kClothVertexCount; ++k) {
    const FlagVertex& v = sim.grid.current[k];
    const ClothParticle& p = sim.grid.particles[k];
    ASSERT_FLOAT_EQ(v.sx, 0.5f) << k;
    ASSERT_FLOAT_EQ(v.sy, 0.5f) << k;
    ASSERT_FLOAT_EQ(v.sz, -1.0f) << k;
    ASSERT_EQ(p.fx, 0.0f) << k;
    ASSERT_FLOAT_EQ(p.fy, -0.098f) << k;
    ASSERT_FLOAT_EQ(p.fz, k < 32 ? 0.0f : 0.25f) << k;
    ASSERT_EQ(p.vx, 0.0f);
    ASSERT_EQ(p.vy, 0.0f);
    ASSERT_EQ(p.vz, 0.0f);
  }
  EXPECT_EQ(std::memcmp(sim.grid.current, sim.grid.previous, kClothVertexBytes), 0);
}

TEST(StepCloth, FirstStepMovesByGravityAndWind) {
  TestSimulation sim;
  FlagVertex* before = sim.grid.current;
  sim.runFrame(kSixtiethSecond);
  EXPECT_FLOAT_EQ(sim.calibration.stepSize, 0.014f);
  EXPECT_FLOAT_EQ(sim.calibration.forceScale, 0.7f);
  EXPECT_EQ(sim.grid.previous, before) << "the arrays trade places";

  const ClothParticle& p34 = sim.grid.particles[34];
  EXPECT_NEAR(p34.vx, 0.0f, 1e-7f);
  EXPECT_FLOAT_EQ(p34.vy, -0.0686f);
  EXPECT_FLOAT_EQ(p34.vz, 0.175f);
  expectPosition(sim.grid.current[34], -15.0f, -11.250960f, 0.00245f, 1e-6f, 34);

  const ClothParticle& p1 = sim.grid.particles[1];
  EXPECT_FLOAT_EQ(p1.vy, -0.0686f);
  EXPECT_EQ(p1.vz, 0.0f);
  expectPosition(sim.grid.current[1], -15.0f, -12.000960f, 0.0f, 1e-6f, 1);

  for (int k : kPinnedVertices)
    expectPosition(sim.grid.current[k], -16.0f, -12.0f + (k / 33) * 0.75f, 0.0f, 0.0f, k);
}

TEST(StepCloth, TenFramesAtSixtyHertzWithWindPowerFifty) {
  TestSimulation sim(50);
  sim.runFrames(10, kSixtiethSecond);
  struct Case {
    int k;
    float x, y, z;
  };
  const Case cases[] = {
      {34, -14.9950f, -11.2899f, 0.0227f}, {544, 0.0000f, -0.0498f, 0.0224f},
      {1088, 16.0000f, 11.9502f, 0.0224f}, {0, -16.0f, -12.0f, 0.0f},
      {528, -16.0f, 0.0f, 0.0f},           {1056, -16.0f, 12.0f, 0.0f},
  };
  for (const Case& c : cases) expectPosition(sim.grid.current[c.k], c.x, c.y, c.z, 6e-5f, c.k);
}

TEST(StepCloth, ThePoleNeverMovesButItsVelocityRuns) {
  TestSimulation sim(100);
  sim.runFrames(300, 0.02);
  for (int k : kPinnedVertices) {
    expectPosition(sim.grid.current[k], -16.0f, -12.0f + (k / 33) * 0.75f, 0.0f, 0.0f, k);
    const ClothParticle& p = sim.grid.particles[k];
    EXPECT_NE(p.vx * p.vx + p.vy * p.vy + p.vz * p.vz, 0.0f) << k;
  }
}

TEST(StepCloth, KeepsPictureCoordinatesInBothArrays) {
  TestSimulation sim;
  sim.runFrames(7, kSixtiethSecond);
  for (int k = 0; k < kClothVertexCount; ++k) {
    ASSERT_EQ(sim.grid.current[k].u, (k % 33) / 32.0f) << k;
    ASSERT_EQ(sim.grid.previous[k].u, (k % 33) / 32.0f) << k;
    ASSERT_EQ(sim.grid.current[k].v, 1.0f - (k / 33) / 32.0f) << k;
    ASSERT_EQ(sim.grid.previous[k].v, 1.0f - (k / 33) / 32.0f) << k;
  }
}

TEST(StepCloth, CopiedBufferHoldsNewPositionsWithTheOlderShading) {
  TestSimulation sim;
  sim.runFrames(5, kSixtiethSecond);
  FlagVertex shadingBefore[kClothVertexCount];
  std::memcpy(shadingBefore, sim.grid.previous, sizeof shadingBefore);  // becomes current next step
  sim.runFrame(kSixtiethSecond);
  for (int k = 0; k < kClothVertexCount; ++k) {
    const FlagVertex& copied = sim.vertexBuffer[k];
    ASSERT_EQ(copied.x, sim.grid.current[k].x) << k;
    ASSERT_EQ(copied.sx, shadingBefore[k].sx) << k;
    ASSERT_EQ(copied.sz, shadingBefore[k].sz) << k;
  }
}

TEST(ApplySpring, ForceAlongTheSpringWithLimitedExtension) {
  struct Case {
    const char* name;
    SpringType spring;
    float length;
    float forceOnA;  // along the direction from a to b
  };
  const Case cases[] = {
      {"horizontal at rest", horizontalSpring, 1.0f, 0.0f},
      {"vertical at rest", verticalSpring, 0.75f, 0.0f},
      {"shear at rest", shearSpring, 1.25f, 0.0f},
      {"horizontal stretched to 2", horizontalSpring, 2.0f, 20.5f * 0.333f * 2.0f},
      {"vertical squeezed to 0.2", verticalSpring, 0.2f, -26.7f * 2.0f * 0.2f},
      {"horizontal slightly stretched", horizontalSpring, 1.2f, 20.5f * 0.2f},
      {"shear slightly squeezed", shearSpring, 1.0f, -16.0f * 0.25f},
  };
  for (const Case& c : cases) {
    // Along a slanted direction so that every axis takes part.
    const Vector3 direction = {0.48f, 0.6f, 0.64f};
    FlagVertex a = {1.0f, 2.0f, 3.0f, 0, 0, 0, 0, 0};
    FlagVertex b = a;
    b.x += direction.x * c.length;
    b.y += direction.y * c.length;
    b.z += direction.z * c.length;
    ClothParticle pa = {0.5f, -1.0f, 0.0f, 9, 9, 9};
    ClothParticle pb = {0.0f, 0.0f, 0.0f, 9, 9, 9};
    StepCalibration calibration;
    calibration.calibrationFrames = 200;
    applySpring(a, b, pa, pb, c.spring, calibration);
    EXPECT_NEAR(pa.fx - 0.5f, c.forceOnA * direction.x, 2e-4f) << c.name;
    EXPECT_NEAR(pa.fy + 1.0f, c.forceOnA * direction.y, 2e-4f) << c.name;
    EXPECT_NEAR(pa.fz, c.forceOnA * direction.z, 2e-4f) << c.name;
    EXPECT_NEAR(pb.fx, -c.forceOnA * direction.x, 2e-4f) << c.name;
    EXPECT_NEAR(pb.fz, -c.forceOnA * direction.z, 2e-4f) << c.name;
    EXPECT_EQ(pa.vx, 9.0f) << c.name;
    EXPECT_EQ(calibration.calibrationFrames, 200) << c.name;
  }
}

TEST(ApplySpring, CollapsedSpringCountsAsShortestAndRestartsCalibration) {
  struct Case {
    float length;
  };
  const Case cases[] = {{0.04f}, {0.0f}, {0.05f}};
  for (const Case& c : cases) {
    FlagVertex a = {0, 0, 0, 0, 0, 0, 0, 0};
    FlagVertex b = {c.length, 0, 0, 0, 0, 0, 0, 0};
    ClothParticle pa = {}, pb = {};
    StepCalibration calibration;
    calibration.calibrationFrames = 200;
    calibration.rateSum = 6000.0f;
    applySpring(a, b, pa, pb, horizontalSpring, calibration);
    // Evaluated at 0.05: extension 1 − 1/0.05 is limited to −2.
    EXPECT_NEAR(pa.fx, 20.5f * -2.0f * c.length, 1e-5f) << c.length;
    EXPECT_TRUE(std::isfinite(pa.fx) && std::isfinite(pb.fx));
    EXPECT_EQ(calibration.calibrationFrames, 0) << c.length;
    EXPECT_EQ(calibration.rateSum, 6000.0f) << "the old sum is kept";

    chooseStepSize(calibration, 60.0f, false);
    EXPECT_FLOAT_EQ(calibration.stepSize, 0.014f);
    EXPECT_EQ(calibration.calibrationFrames, 1);
  }
}

TEST(ChooseStepSize, CalibratedStepFromTheAverageRate) {
  struct Case {
    float averageRate;
    bool isPreview;
    float stepSize;
    int32_t steps;
  };
  // Below 40 a frame takes as many steps as bring it to 40 or more, each of
  // the size for the rate they add up to (at most four steps).
  const Case cases[] = {
      {20.0f, false, 0.0227273f, 2},  {40.0f, false, 0.0227273f, 1},
      {60.0f, false, 0.0174419f, 1},  {75.0f, false, 0.0141176f, 1},
      {100.0f, false, 0.0100000f, 1}, {120.0f, false, 0.0077320f, 1},
      {500.0f, false, 0.0077320f, 1}, {60.0f, true, 0.0122093f, 1},
      {40.0f, true, 0.0159091f, 1},   {30.0f, false, 0.0174419f, 2},
      {15.0f, false, 0.0213523f, 3},  {15.0f, true, 0.0149466f, 3},
      {39.0f, false, 0.0135330f, 2},  {5.0f, false, 0.0227273f, 4},
  };
  for (const Case& c : cases) {
    StepCalibration calibration;
    calibration.calibrationFrames = 200;
    calibration.rateSum = c.averageRate * 100.0f;
    chooseStepSize(calibration, 1000.0f, c.isPreview);
    EXPECT_NEAR(calibration.stepSize, c.stepSize, 1e-7f) << c.averageRate << " " << c.isPreview;
    EXPECT_EQ(calibration.stepsPerFrame, c.steps) << c.averageRate;
    EXPECT_FLOAT_EQ(calibration.forceScale, calibration.stepSize / 0.02f);
    EXPECT_EQ(calibration.calibrationFrames, 200);
    EXPECT_EQ(calibration.rateSum, c.averageRate * 100.0f) << "no more samples once calibrated";
  }
}

TEST(StepCloth, ASecondAtThirtyOrFifteenFramesMovesTheClothAsFarAsAtSixty) {
  // Over one second after calibration: cloth time (the steps' sizes added
  // up) and the wind's progress along its curve, which moves as at the rate
  // the steps add up to (its step is capped at 0.01 s).
  struct Pace {
    double clothSeconds;
    float windProgress;
  };
  auto paceAt = [](int framesPerSecond) {
    TestSimulation sim(50, 1802, 9373);
    sim.runFrames(200, 1.0 / framesPerSecond);
    float phase = sim.wind.phase;
    Pace pace = {0.0, 0.0f};
    for (int frame = 0; frame < framesPerSecond; ++frame) {
      sim.runFrame(1.0 / framesPerSecond);
      pace.clothSeconds += sim.calibration.stepSize * sim.calibration.stepsPerFrame;
    }
    pace.windProgress = sim.wind.phase - phase;
    EXPECT_GT(pace.windProgress, 0.0f) << framesPerSecond << ": no new wind segment began";
    return pace;
  };
  const Pace sixty = paceAt(60);
  EXPECT_NEAR(sixty.clothSeconds, 1.0, 0.1);
  struct Case {
    int framesPerSecond, stepsAddUpTo;
  };
  for (const Case& c : {Case{30, 60}, Case{15, 45}}) {
    SCOPED_TRACE(c.framesPerSecond);
    Pace pace = paceAt(c.framesPerSecond);
    EXPECT_NEAR(pace.clothSeconds, sixty.clothSeconds, 0.1);
    EXPECT_NEAR(pace.windProgress, paceAt(c.stepsAddUpTo).windProgress, 1e-4f);
  }
}

TEST(ChooseStepSize, SamplesFrames101To200) {
  StepCalibration calibration;
  for (int frame = 1; frame <= 200; ++frame) {
    chooseStepSize(calibration, frame <= 100 ? 1000.0f : 60.0f, false);
    ASSERT_FLOAT_EQ(calibration.stepSize, 0.014f) << frame;
    ASSERT_EQ(calibration.calibrationFrames, frame);
  }
  EXPECT_FLOAT_EQ(calibration.rateSum, 6000.0f);
  chooseStepSize(calibration, 1000.0f, false);
  EXPECT_NEAR(calibration.stepSize, 0.0174419f, 1e-7f);

  StepCalibration preview;
  chooseStepSize(preview, 60.0f, true);
  EXPECT_FLOAT_EQ(preview.stepSize, 0.014f * 0.7f);
}

TEST(UpdateClothNormals, WindPressesAlongTheNormalWhicheverWayItFaces) {
  struct Case {
    Vector3 wind;
    float fz;
  };
  const Case cases[] = {
      {{0.5f, 0.0f, 0.25f}, 0.25f}, {{0.5f, 0.0f, -0.25f}, -0.25f}, {{3.0f, 0.0f, 0.0f}, 0.0f}};
  for (const Case& c : cases) {
    TestSimulation sim;
    // Mirroring x turns the cloth's front away from the camera.
    for (int k = 0; k < kClothVertexCount; ++k) sim.grid.current[k].x = -sim.grid.current[k].x;
    updateClothNormals(sim.grid, c.wind);
    const ClothParticle& p = sim.grid.particles[500];
    EXPECT_FLOAT_EQ(sim.grid.current[500].sz, 1.0f) << "now facing away from the camera";
    EXPECT_NEAR(p.fz, c.fz, 1e-6f);
    EXPECT_FLOAT_EQ(p.fy, -0.098f);
  }
}

TEST(UpdateClothNormals, CollapsedCellsLeaveAZeroNormal) {
  TestSimulation sim;
  for (int k = 0; k < kClothVertexCount; ++k) {
    sim.grid.current[k].x = 1.0f;
    sim.grid.current[k].y = 2.0f;
    sim.grid.current[k].z = 3.0f;
  }
  updateClothNormals(sim.grid, Vector3{1.5f, 0.0f, 1.5f});
  for (int k = 0; k < kClothVertexCount; ++k) {
    ASSERT_EQ(sim.grid.current[k].sx, 0.5f) << k;
    ASSERT_EQ(sim.grid.current[k].sy, 0.5f) << k;
    ASSERT_EQ(sim.grid.current[k].sz, 0.0f) << k;
    ASSERT_EQ(sim.grid.particles[k].fx, 0.0f) << k;
    ASSERT_FLOAT_EQ(sim.grid.particles[k].fy, -0.098f) << k;
  }
}

}  // namespace
