// Vector and matrix helpers in 32-bit floats.
// Every operation reads all of its inputs before it writes its output, so the
// output may be the same object as an input; each returns its output.
// Matrices are row-major in Direct3D's row-vector layout: element (r, c) at
// m[4r + c], translation in elements 12, 13, 14.
#pragma once

#include <cmath>

struct Vector3 {
  float x, y, z;
};

struct Matrix4x4 {
  float m[16];
};

static_assert(sizeof(Vector3) == 12, "Vector3 is three packed floats");
static_assert(sizeof(Matrix4x4) == 64, "Matrix4x4 is what SetTransform takes");

// out = a − b.
inline Vector3& vectorSubtract(Vector3& out, const Vector3& a, const Vector3& b) {
  Vector3 r = {a.x - b.x, a.y - b.y, a.z - b.z};
  out = r;
  return out;
}

// out = s · a.
inline Vector3& vectorScale(Vector3& out, const Vector3& a, float s) {
  Vector3 r = {a.x * s, a.y * s, a.z * s};
  out = r;
  return out;
}

// a · b.
inline float vectorDot(const Vector3& a, const Vector3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// out = a × b (left operand first).
inline Vector3& vectorCross(Vector3& out, const Vector3& a, const Vector3& b) {
  Vector3 r = {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
  out = r;
  return out;
}

// out = a / |a|. A vector whose squared length is zero or not finite (a
// collapsed cloth triangle, normals that cancel) gives (0, 0, 0) rather than
// NaN, which would otherwise spread through the springs to the whole cloth.
inline Vector3& vectorNormalize(Vector3& out, const Vector3& a) {
  float lengthSquared = a.x * a.x + a.y * a.y + a.z * a.z;
  if (!(lengthSquared > 0.0f) || !std::isfinite(lengthSquared)) {
    out = Vector3{0.0f, 0.0f, 0.0f};
    return out;
  }
  float r = 1.0f / std::sqrt(lengthSquared);
  Vector3 n = {a.x * r, a.y * r, a.z * r};
  out = n;
  return out;
}

// m = identity.
Matrix4x4& matrixIdentity(Matrix4x4& m);

// m = left-handed view matrix from eye towards at; up must not be parallel to
// the view direction. Uses static working storage: not re-entrant.
Matrix4x4& matrixLookAtLH(Matrix4x4& m, const Vector3& eye, const Vector3& at, const Vector3& up);

// m = left-handed perspective projection; fovY in radians (> 0), aspect =
// width / height, zNear != zFar.
Matrix4x4& matrixPerspectiveFovLH(Matrix4x4& m, float fovY, float aspect, float zNear, float zFar);

// w = the four cubic Hermite weights at t in [0, 1]: start value, end value,
// start slope, end slope.
float* hermiteBasis(float w[4], float t);
