#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "sim/cloth_grid.h"

namespace {

struct BuiltGrid {
  std::unique_ptr<ClothStorage> storage = std::make_unique<ClothStorage>();
  ClothGrid grid;
  explicit BuiltGrid(int baseIndex = 0) {
    *storage = ClothStorage{};
    attachClothStorage(grid, *storage);
    buildClothGrid(grid.current, grid.indices, kClothLeft, kClothBottom, kClothWidth, kClothHeight,
                   kClothColumns, kClothRows, baseIndex);
  }
};

TEST(BuildClothGrid, PlacesCornersAndInnerVertex) {
  struct Case {
    int k;
    float x, y, u, v;
  };
  const Case cases[] = {
      {0, -16.0f, -12.0f, 0.0f, 1.0f},           {32, 16.0f, -12.0f, 1.0f, 1.0f},
      {1056, -16.0f, 12.0f, 0.0f, 0.0f},         {1088, 16.0f, 12.0f, 1.0f, 0.0f},
      {34, -15.0f, -11.25f, 0.03125f, 0.96875f}, {528, -16.0f, 0.0f, 0.0f, 0.5f},
  };
  BuiltGrid built;
  for (const Case& c : cases) {
    const FlagVertex& v = built.grid.current[c.k];
    EXPECT_FLOAT_EQ(v.x, c.x) << c.k;
    EXPECT_FLOAT_EQ(v.y, c.y) << c.k;
    EXPECT_EQ(v.z, 0.0f) << c.k;
    EXPECT_FLOAT_EQ(v.u, c.u) << c.k;
    EXPECT_FLOAT_EQ(v.v, c.v) << c.k;
  }
}

TEST(BuildClothGrid, WritesNoShadingAndExactlyTheIndexListLength) {
  auto storage = std::make_unique<ClothStorage>();
  for (FlagVertex& v : storage->vertices[0]) v.sx = v.sy = v.sz = 7.0f;
  constexpr uint16_t kGuard = 0xBEEF;
  uint16_t indices[kClothIndexCount + 4];
  for (uint16_t& index : indices) index = kGuard;
  buildClothGrid(storage->vertices[0], indices, kClothLeft, kClothBottom, kClothWidth, kClothHeight,
                 kClothColumns, kClothRows, 0);
  for (const FlagVertex& v : storage->vertices[0]) {
    ASSERT_EQ(v.sx, 7.0f);
    ASSERT_EQ(v.sy, 7.0f);
    ASSERT_EQ(v.sz, 7.0f);
  }
  EXPECT_NE(indices[kClothIndexCount - 1], kGuard);
  for (int n = kClothIndexCount; n < kClothIndexCount + 4; ++n) EXPECT_EQ(indices[n], kGuard);
  // Either array may be left out.
  buildClothGrid(nullptr, nullptr, kClothLeft, kClothBottom, kClothWidth, kClothHeight,
                 kClothColumns, kClothRows, 0);
}

TEST(BuildClothGrid, ListsTwoTrianglesPerCell) {
  BuiltGrid built;
  const uint16_t* indices = built.grid.indices;
  const uint16_t first[6] = {0, 33, 1, 33, 34, 1};
  const uint16_t last[6] = {1054, 1087, 1055, 1087, 1088, 1055};
  for (int n = 0; n < 6; ++n) {
    EXPECT_EQ(indices[n], first[n]) << n;
    EXPECT_EQ(indices[kClothIndexCount - 6 + n], last[n]) << n;
  }
  // Every cell's lower-left corner a is neither in the last column nor the top row.
  for (int cell = 0; cell < kClothIndexCount / 6; ++cell) {
    int a = indices[cell * 6];
    ASSERT_NE(a % kClothColumns, kClothColumns - 1) << cell;
    ASSERT_LT(a / kClothColumns, kClothRows - 1) << cell;
    ASSERT_LE(indices[cell * 6 + 4], kClothVertexCount - 1) << cell;
  }
}

TEST(ListClothTrianglesEvery, ThePreviewsListCoversTheClothWithCellsOfTwo) {
  constexpr uint16_t kGuard = 0xBEEF;
  uint16_t everySecond[kClothIndexCount];
  for (uint16_t& index : everySecond) index = kGuard;
  listClothTrianglesEvery(everySecond, kPreviewClothStep);
  ASSERT_EQ(kPreviewIndexCount, 1536);
  const uint16_t first[6] = {0, 66, 2, 66, 68, 2};
  const uint16_t last[6] = {1020, 1086, 1022, 1086, 1088, 1022};
  for (int n = 0; n < 6; ++n) {
    EXPECT_EQ(everySecond[n], first[n]) << n;
    EXPECT_EQ(everySecond[kPreviewIndexCount - 6 + n], last[n]) << n;
  }
  EXPECT_EQ(everySecond[kPreviewIndexCount], kGuard);
  // Every corner lies on an even row and column: the cloth's edges and
  // its three pole vertices are all drawn.
  for (int n = 0; n < kPreviewIndexCount; ++n) {
    ASSERT_EQ(everySecond[n] % kClothColumns % 2, 0) << n;
    ASSERT_EQ(everySecond[n] / kClothColumns % 2, 0) << n;
  }
}

TEST(BuildClothGrid, BaseIndexShiftsEveryIndexOnly) {
  BuiltGrid plain(0);
  BuiltGrid shifted(100);
  for (int n = 0; n < kClothIndexCount; ++n)
    ASSERT_EQ(shifted.grid.indices[n], plain.grid.indices[n] + 100) << n;
  for (int k = 0; k < kClothVertexCount; ++k) {
    ASSERT_EQ(shifted.grid.current[k].x, plain.grid.current[k].x);
    ASSERT_EQ(shifted.grid.current[k].y, plain.grid.current[k].y);
    ASSERT_EQ(shifted.grid.current[k].v, plain.grid.current[k].v);
  }
}

TEST(ClothGrid, PoleIsColumnZeroOfRowsZeroSixteenAndThirtyTwo) {
  int pinned = 0;
  for (int k = 0; k < kClothVertexCount; ++k) pinned += isPinnedVertex(k);
  EXPECT_EQ(pinned, 3);
  EXPECT_TRUE(isPinnedVertex(0));
  EXPECT_TRUE(isPinnedVertex(528));
  EXPECT_TRUE(isPinnedVertex(1056));
}

// The stability checks trust this: any one bad number of any vertex is found.
TEST(ClothGrid, FirstNonFiniteVertexFindsEveryKindOfValue) {
  struct Case {
    const char* what;
    int vertex;
    float* (*slot)(ClothGrid&, int);
    float value;
  } cases[] = {
      {"x", 0, [](ClothGrid& g, int k) { return &g.current[k].x; }, NAN},
      {"z", 500, [](ClothGrid& g, int k) { return &g.current[k].z; }, INFINITY},
      {"shading sz", 17, [](ClothGrid& g, int k) { return &g.current[k].sz; }, -INFINITY},
      {"force fy", 1088, [](ClothGrid& g, int k) { return &g.particles[k].fy; }, NAN},
      {"velocity vx", 33, [](ClothGrid& g, int k) { return &g.particles[k].vx; }, INFINITY},
  };
  BuiltGrid built;
  EXPECT_EQ(-1, firstNonFiniteVertex(built.grid));
  for (const Case& c : cases) {
    BuiltGrid bad;
    *c.slot(bad.grid, c.vertex) = c.value;
    *c.slot(bad.grid, kClothVertexCount - 1) = c.value;  // a later one is not reported
    EXPECT_EQ(c.vertex, firstNonFiniteVertex(bad.grid)) << c.what;
  }
}

}  // namespace
