#include <gtest/gtest.h>

#include "sim_test_support.h"

namespace {

void collapseAll(TestSimulation& sim) {
  for (FlagVertex* array : {sim.grid.current, sim.grid.previous})
    for (int k = 0; k < kClothVertexCount; ++k) {
      array[k].x = -16.0f;
      array[k].y = 0.0f;
      array[k].z = 0.0f;
    }
}

void collapseRow(TestSimulation& sim, int row) {
  for (FlagVertex* array : {sim.grid.current, sim.grid.previous})
    for (int j = 0; j < kClothColumns; ++j) {
      FlagVertex& v = array[row * kClothColumns + j];
      v.x = 0.0f;
      v.y = row * 0.75f - 12.0f;
      v.z = 0.0f;
    }
}

TEST(ClothStability, CollapsedClothStaysFinite) {
  struct Case {
    const char* name;
    void (*collapse)(TestSimulation&);
  };
  const Case cases[] = {
      {"every vertex at one point", collapseAll},
      {"row 10 collapsed to a point", [](TestSimulation& sim) { collapseRow(sim, 10); }},
      {"bottom row collapsed to a point", [](TestSimulation& sim) { collapseRow(sim, 0); }},
  };
  for (const Case& c : cases) {
    TestSimulation sim(100);
    c.collapse(sim);
    updateClothNormals(sim.grid, sim.wind.windVector);
    sim.runFrame(1.0 / 60.0);
    EXPECT_EQ(sim.calibration.calibrationFrames, 0) << c.name << ": collapse restarts calibration";
    for (int frame = 2; frame <= 600; ++frame) {
      sim.runFrame(1.0 / 60.0);
      ASSERT_EQ(firstNonFiniteVertex(sim.grid), -1) << c.name << ", frame " << frame;
    }
  }
}

TEST(ClothStability, LongRunsStayFiniteAtManyFrameRates) {
  struct Case {
    double framesPerSecond;
    int windPower;
  };
  const Case cases[] = {{5, 0}, {5, 100}, {60, 0}, {60, 100}, {500, 0}, {500, 100}};
  for (const Case& c : cases) {
    TestSimulation sim(c.windPower, 1802, 9373);
    // Long enough to cross several wind segments at 60 fps and below; the
    // 20000-frame and longer runs are flagsim --stability's job.
    for (int frame = 1; frame <= 3000; ++frame) {
      sim.runFrame(1.0 / c.framesPerSecond);
      if (frame % 250 == 0) {
        ASSERT_EQ(firstNonFiniteVertex(sim.grid), -1)
            << c.framesPerSecond << " fps, power " << c.windPower << ", frame " << frame;
      }
    }
    // Still a flag: the pole holds it and nothing has flown off.
    for (int k = 0; k < kClothVertexCount; ++k) {
      const FlagVertex& v = sim.grid.current[k];
      ASSERT_LT(std::fabs(v.x) + std::fabs(v.y) + std::fabs(v.z), 100.0f)
          << c.framesPerSecond << " fps, power " << c.windPower << ", vertex " << k;
    }
  }
}

}  // namespace
