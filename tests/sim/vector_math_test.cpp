#include <gtest/gtest.h>

#include <cmath>

#include "sim/vector_math.h"

namespace {

void expectVector(const Vector3& v, float x, float y, float z, float tolerance = 1e-6f) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

TEST(VectorOps, ComputeTheirResults) {
  Vector3 out;
  expectVector(vectorSubtract(out, Vector3{5, 2, -1}, Vector3{1, 4, 1}), 4, -2, -2);
  expectVector(vectorScale(out, Vector3{1, -2, 3}, 0.5f), 0.5f, -1, 1.5f);
  expectVector(vectorCross(out, Vector3{1, 0, 0}, Vector3{0, 1, 0}), 0, 0, 1);
  expectVector(vectorCross(out, Vector3{0, 1, 0}, Vector3{1, 0, 0}), 0, 0, -1);
  expectVector(vectorNormalize(out, Vector3{3, 0, 4}), 0.6f, 0, 0.8f);
  Vector3 a = {1.5f, -2.0f, 0.25f};
  EXPECT_FLOAT_EQ(vectorDot(a, a), 1.5f * 1.5f + 4.0f + 0.0625f);
  EXPECT_FLOAT_EQ(vectorDot(Vector3{1, 2, 3}, Vector3{4, -5, 6}), 12.0f);
}

TEST(VectorOps, OutputMayBeAnInput) {
  Vector3 a = {1, 0, 0};
  vectorCross(a, a, Vector3{0, 1, 0});
  expectVector(a, 0, 0, 1);
  Vector3 b = {0, 1, 0};
  vectorCross(b, Vector3{1, 0, 0}, b);
  expectVector(b, 0, 0, 1);
  Vector3 c = {2, 3, 4};
  vectorSubtract(c, c, c);
  expectVector(c, 0, 0, 0);
  Vector3 d = {0, 0, -7};
  vectorNormalize(d, d);
  expectVector(d, 0, 0, -1);
  Vector3 e = {1, 2, 3};
  vectorScale(e, e, 2);
  expectVector(e, 2, 4, 6);
}

TEST(VectorNormalize, DegenerateVectorsGiveZeroNotNaN) {
  const float inf = INFINITY;
  const Vector3 cases[] = {
      {0, 0, 0}, {-0.0f, 0, 0}, {1e-30f, 0, 0}, {inf, 0, 0}, {NAN, 1, 1}, {1e30f, 1e30f, 0},
  };
  for (const Vector3& a : cases) {
    Vector3 out = {9, 9, 9};
    vectorNormalize(out, a);
    EXPECT_TRUE(std::isfinite(out.x) && std::isfinite(out.y) && std::isfinite(out.z))
        << a.x << " " << a.y << " " << a.z;
  }
  Vector3 out;
  expectVector(vectorNormalize(out, Vector3{0, 0, 0}), 0, 0, 0);
  // Tiny but representable lengths still normalise.
  expectVector(vectorNormalize(out, Vector3{0, 1e-18f, 0}), 0, 1, 0, 1e-5f);
}

TEST(MatrixLookAtLH, MapsEyeToOriginAndTargetOntoPositiveZ) {
  Matrix4x4 m;
  Vector3 eye = {10, 5, -20};
  Vector3 at = {1, 2, 3};
  matrixLookAtLH(m, eye, at, Vector3{0, 1, 0});
  auto transform = [&](const Vector3& p) {
    return Vector3{p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8] + m.m[12],
                   p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9] + m.m[13],
                   p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10] + m.m[14]};
  };
  expectVector(transform(eye), 0, 0, 0, 1e-4f);
  Vector3 target = transform(at);
  EXPECT_NEAR(target.x, 0, 1e-4f);
  EXPECT_NEAR(target.y, 0, 1e-4f);
  EXPECT_NEAR(target.z, std::sqrt(81.0f + 9.0f + 529.0f), 1e-4f);
}

TEST(HermiteBasis, WeightsAtStartMiddleAndEnd) {
  struct Case {
    float t, w0, w1, w2, w3;
  };
  const Case cases[] = {
      {0.0f, 1, 0, 0, 0},
      {1.0f, 0, 1, 0, 0},
      {0.5f, 0.5f, 0.5f, 0.125f, -0.125f},
  };
  for (const Case& c : cases) {
    float w[4] = {9, 9, 9, 9};
    EXPECT_EQ(hermiteBasis(w, c.t), w);
    EXPECT_FLOAT_EQ(w[0], c.w0) << c.t;
    EXPECT_FLOAT_EQ(w[1], c.w1) << c.t;
    EXPECT_FLOAT_EQ(w[2] + 1.0f, c.w2 + 1.0f) << c.t;
    EXPECT_FLOAT_EQ(w[3] + 1.0f, c.w3 + 1.0f) << c.t;
  }
}

TEST(HermiteBasis, ValueWeightsSumToOneEverywhere) {
  for (int n = 0; n <= 100; ++n) {
    float w[4];
    hermiteBasis(w, n / 100.0f);
    EXPECT_NEAR(w[0] + w[1], 1.0f, 1e-6f) << n;
  }
}

}  // namespace
