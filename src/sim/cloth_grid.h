// Cloth grid: the flag's vertex record, the per-vertex simulation record, the
// double-buffered arrays and the generator of the start grid and triangle list.
#pragma once

#include <cstddef>
#include <cstdint>

// One drawn vertex; the vertex buffer holds these back to back (stride 32).
struct FlagVertex {
  float x, y, z;     // position in world units
  float u, v;        // flag picture coordinates
  float sx, sy, sz;  // shading triple: vertex normal, + 0.5 on sx and sy
};

// Simulation state of one vertex that is not drawn.
struct ClothParticle {
  float fx, fy, fz;  // force gathered for the coming step
  float vx, vy, vz;  // velocity, kept from step to step
};

static_assert(sizeof(FlagVertex) == 32, "the vertex buffer stride is 32 bytes");
static_assert(offsetof(FlagVertex, x) == 0 && offsetof(FlagVertex, u) == 12 &&
                  offsetof(FlagVertex, sx) == 20 && offsetof(FlagVertex, sz) == 28,
              "position, then picture coordinates, then shading triple");
static_assert(sizeof(ClothParticle) == 24, "six floats");
static_assert(offsetof(ClothParticle, fx) == 0 && offsetof(ClothParticle, vx) == 12,
              "force, then velocity");

constexpr int kClothColumns = 33;
constexpr int kClothRows = 33;
constexpr int kClothVertexCount = kClothColumns * kClothRows;                 // 1089
constexpr int kClothIndexCount = (kClothColumns - 1) * (kClothRows - 1) * 6;  // 6144
constexpr float kClothLeft = -16.0f;
constexpr float kClothBottom = -12.0f;
constexpr float kClothWidth = 32.0f;
constexpr float kClothHeight = 24.0f;
constexpr size_t kClothVertexBytes = kClothVertexCount * sizeof(FlagVertex);       // 34848
constexpr size_t kClothParticleBytes = kClothVertexCount * sizeof(ClothParticle);  // 26136
constexpr size_t kClothIndexBytes = kClothIndexCount * sizeof(uint16_t);           // 12288

// The pole: column 0 of rows 0, 16 and 32.
constexpr int kPinnedVertices[] = {0, 16 * kClothColumns, 32 * kClothColumns};

static_assert(kClothVertexBytes == 34848 && kClothParticleBytes == 26136 &&
                  kClothIndexBytes == 12288,
              "block sizes of the cloth arrays");

// The cloth's arrays. The memory belongs to the caller (the scene allocates it
// zero-filled); current and previous trade places every step, nothing is
// copied between them after set-up. indices is needed only during set-up and
// may be null afterwards.
struct ClothGrid {
  FlagVertex* current = nullptr;       // kClothVertexCount records, newest positions
  FlagVertex* previous = nullptr;      // kClothVertexCount records, positions one step older
  ClothParticle* particles = nullptr;  // kClothVertexCount records
  uint16_t* indices = nullptr;         // kClothIndexCount entries
};

// Storage for one cloth for callers that do not allocate their own (tests,
// tools): attachClothStorage points a grid at it. About 108 KB; keep it static
// or on the heap.
struct ClothStorage {
  FlagVertex vertices[2][kClothVertexCount];
  ClothParticle particles[kClothVertexCount];
  uint16_t indices[kClothIndexCount];
};

// Lays out columns × rows vertices (row 0 at the bottom, v = 1) and the
// (columns − 1) × (rows − 1) × 6 triangle-list indices, each offset by
// baseIndex. Writes only position and picture coordinates of each vertex;
// either array may be null to skip it.
// Callers keep columns, rows >= 2 and baseIndex + columns × rows <= 65536.
void buildClothGrid(FlagVertex* vertices, uint16_t* indices, float left, float bottom, float width,
                    float height, int columns, int rows, int baseIndex);

// The preview draws the cloth over every second row and column: 16 × 16
// cells, 512 triangles. Its flag is a few pixels a cell at full detail, and
// the software renderer pays for each tiny triangle about as much as for a
// large one; the simulation keeps every vertex.
constexpr int kPreviewClothStep = 2;
constexpr int kPreviewIndexCount = kClothIndexCount / (kPreviewClothStep * kPreviewClothStep);

// The triangle list of the 33 × 33 cloth over every step-th row and column
// (step divides 32), cells split as buildClothGrid splits them:
// (32 / step)² × 6 indices.
void listClothTrianglesEvery(uint16_t* indices, int step);

// Points grid's arrays into storage; the contents are not touched.
void attachClothStorage(ClothGrid& grid, ClothStorage& storage);

// True for the three vertices that hold the flag to its pole.
bool isPinnedVertex(int k);

// Index of the first vertex whose position, shading, force or velocity is not
// finite, or -1 when the whole cloth is finite (the stability checks' test).
int firstNonFiniteVertex(const ClothGrid& grid);
