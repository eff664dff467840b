#include "sim/cloth_grid.h"

#include <cmath>

namespace {

void layOutVertices(FlagVertex* vertices, float left, float bottom, float dx, float dy, int columns,
                    int rows) {
  float lastColumn = static_cast<float>(columns - 1);
  float lastRow = static_cast<float>(rows - 1);
  // Positions grow by running sums, one step per column and per row.
  FlagVertex* out = vertices;
  float y = bottom;
  for (int i = 0; i < rows; ++i) {
    float x = left;
    float v = 1.0f - static_cast<float>(i) / lastRow;
    for (int j = 0; j < columns; ++j) {
      out->x = x;
      out->y = y;
      out->z = 0.0f;
      out->u = static_cast<float>(j) / lastColumn;
      out->v = v;
      ++out;
      x += dx;
    }
    y += dy;
  }
}

void listTriangles(uint16_t* indices, int columns, int rows, int baseIndex, int step) {
  // Both triangles of a cell share the diagonal from b (upper left) to a + step.
  uint16_t* next = indices;
  for (int i = 0; i + step < rows; i += step) {
    for (int j = 0; j + step < columns; j += step) {
      uint16_t a = static_cast<uint16_t>(baseIndex + i * columns + j);
      uint16_t b = static_cast<uint16_t>(a + step * columns);
      const uint16_t cell[6] = {a,
                                b,
                                static_cast<uint16_t>(a + step),
                                b,
                                static_cast<uint16_t>(b + step),
                                static_cast<uint16_t>(a + step)};
      for (uint16_t index : cell) *next++ = index;
    }
  }
}

}  // namespace

void buildClothGrid(FlagVertex* vertices, uint16_t* indices, float left, float bottom, float width,
                    float height, int columns, int rows, int baseIndex) {
  float dx = width / static_cast<float>(columns - 1);
  float dy = height / static_cast<float>(rows - 1);
  if (vertices != nullptr) layOutVertices(vertices, left, bottom, dx, dy, columns, rows);
  if (indices != nullptr) listTriangles(indices, columns, rows, baseIndex, 1);
}

void listClothTrianglesEvery(uint16_t* indices, int step) {
  listTriangles(indices, kClothColumns, kClothRows, 0, step);
}

void attachClothStorage(ClothGrid& grid, ClothStorage& storage) {
  grid.current = storage.vertices[0];
  grid.previous = storage.vertices[1];
  grid.particles = storage.particles;
  grid.indices = storage.indices;
}

bool isPinnedVertex(int k) {
  for (int pinned : kPinnedVertices)
    if (k == pinned) return true;
  return false;
}

int firstNonFiniteVertex(const ClothGrid& grid) {
  for (int k = 0; k < kClothVertexCount; ++k) {
    const FlagVertex& v = grid.current[k];
    const ClothParticle& p = grid.particles[k];
    const float values[] = {v.x, v.y, v.z, v.sx, v.sy, v.sz, p.fx, p.fy, p.fz, p.vx, p.vy, p.vz};
    for (float value : values)
      if (!std::isfinite(value)) return k;
  }
  return -1;
}
