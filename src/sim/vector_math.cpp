#include "sim/vector_math.h"

#include <cstring>

namespace {

// The look-at working vectors live here, as the renderer calls it from one
// thread only and nothing else needs them.
Vector3 lookZAxis;
Vector3 lookYAxis;
Vector3 lookXAxis;

}  // namespace

Matrix4x4& matrixIdentity(Matrix4x4& m) {
  std::memset(m.m, 0, sizeof m.m);
  m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
  return m;
}

Matrix4x4& matrixLookAtLH(Matrix4x4& m, const Vector3& eye, const Vector3& at, const Vector3& up) {
  vectorNormalize(lookZAxis, vectorSubtract(lookZAxis, at, eye));
  float d = vectorDot(up, lookZAxis);
  Vector3 alongView;
  vectorScale(alongView, lookZAxis, d);
  vectorNormalize(lookYAxis, vectorSubtract(lookYAxis, up, alongView));
  vectorCross(lookXAxis, lookYAxis, lookZAxis);

  float tx = -vectorDot(eye, lookXAxis);
  float ty = -vectorDot(eye, lookYAxis);
  float tz = -vectorDot(eye, lookZAxis);
  const float rows[16] = {
      lookXAxis.x, lookYAxis.x, lookZAxis.x, 0.0f, lookXAxis.y, lookYAxis.y, lookZAxis.y, 0.0f,
      lookXAxis.z, lookYAxis.z, lookZAxis.z, 0.0f, tx,          ty,          tz,          1.0f,
  };
  std::memcpy(m.m, rows, sizeof rows);
  return m;
}

Matrix4x4& matrixPerspectiveFovLH(Matrix4x4& m, float fovY, float aspect, float zNear, float zFar) {
  float halfAngle = fovY * 0.5f;
  float yScale = std::cos(halfAngle) / std::sin(halfAngle);
  float q = zFar / (zFar - zNear);
  std::memset(m.m, 0, sizeof m.m);
  m.m[5] = yScale;
  m.m[0] = yScale / aspect;
  m.m[10] = q;
  m.m[14] = -q * zNear;
  m.m[11] = 1.0f;
  return m;
}

float* hermiteBasis(float w[4], float t) {
  float s = 1.0f - t;
  float sSquared = s * s;
  float tSquared = t * t;
  w[0] = sSquared * (1.0f + 2.0f * t);
  w[1] = tSquared * (3.0f - 2.0f * t);
  w[2] = t * sSquared;
  w[3] = -tSquared * s;
  return w;
}
