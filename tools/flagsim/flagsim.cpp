// flagsim: runs the flag cloth without a window and prints where it ends up.
//
//   flagsim --frames N --dt SECONDS [--wind-power P] [--preview] [--seed IJ KL]
//           [--svg FILE] [--benchmark] [--stability]
//
// Builds the grid, runs the set-up pass with the start wind, then N frames in
// which the timer reports SECONDS per frame, and prints "k x y z" for every
// vertex. --svg draws the cloth as the camera sees it; --benchmark prints the
// mean time of one frame instead of the vertices; --stability checks after
// every frame that the cloth is finite and prints a one-line summary instead
// (for long runs: exit code 1 at the first non-finite value).
// Wrong options print the usage and exit with code 2.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "sim/simulation.h"
#include "sim/vector_math.h"

namespace {

constexpr int64_t kCountsPerSecond = 1000000000;  // the simulated counter ticks in ns
constexpr double kShortestFrame = 1e-6;
constexpr double kLongestFrame = 1000.0;
constexpr int64_t kMostFrames = 1000000000000LL;
constexpr int kExitUsage = 2;
constexpr int kExitNotFinite = 1;

struct Options {
  int64_t frames = -1;
  double dt = -1.0;
  int windPower = 50;
  bool isPreview = false;
  uint32_t seedIJ = 0;
  uint32_t seedKL = 0;
  const char* svgPath = nullptr;
  bool benchmark = false;
  bool stability = false;
};

struct Simulation {
  SimState state;
  int64_t counter = 0;
  int64_t countsPerFrame = 0;
};

void printUsage() {
  std::fprintf(stderr,
               "usage: flagsim --frames N --dt SECONDS [--wind-power P] [--preview]\n"
               "               [--seed IJ KL] [--svg FILE] [--benchmark] [--stability]\n"
               "  N >= 0 frames of SECONDS each (%g ... %g); P in 0 ... 100 (default 50);\n"
               "  seeds are unsigned integers (default 0 0).\n",
               kShortestFrame, kLongestFrame);
}

bool parseInteger(const char* text, int64_t low, int64_t high, int64_t& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  long long parsed = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

bool parseSeconds(const char* text, double& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  double parsed = std::strtod(text, &end);
  if (errno != 0 || *end != '\0' || !(parsed >= kShortestFrame && parsed <= kLongestFrame))
    return false;
  value = parsed;
  return true;
}

bool parseOptions(int argc, char** argv, Options& options) {
  for (int a = 1; a < argc; ++a) {
    const char* name = argv[a];
    const char* next = a + 1 < argc ? argv[a + 1] : nullptr;
    int64_t number = 0;
    if (std::strcmp(name, "--frames") == 0) {
      if (!parseInteger(next, 0, kMostFrames, options.frames)) return false;
      ++a;
    } else if (std::strcmp(name, "--dt") == 0) {
      if (!parseSeconds(next, options.dt)) return false;
      ++a;
    } else if (std::strcmp(name, "--wind-power") == 0) {
      if (!parseInteger(next, 0, 100, number)) return false;
      options.windPower = static_cast<int>(number);
      ++a;
    } else if (std::strcmp(name, "--seed") == 0) {
      int64_t kl = 0;
      const char* third = a + 2 < argc ? argv[a + 2] : nullptr;
      if (!parseInteger(next, 0, UINT32_MAX, number) || !parseInteger(third, 0, UINT32_MAX, kl))
        return false;
      options.seedIJ = static_cast<uint32_t>(number);
      options.seedKL = static_cast<uint32_t>(kl);
      a += 2;
    } else if (std::strcmp(name, "--svg") == 0) {
      if (next == nullptr || *next == '\0') return false;
      options.svgPath = next;
      ++a;
    } else if (std::strcmp(name, "--preview") == 0) {
      options.isPreview = true;
    } else if (std::strcmp(name, "--benchmark") == 0) {
      options.benchmark = true;
    } else if (std::strcmp(name, "--stability") == 0) {
      options.stability = true;
    } else {
      return false;
    }
  }
  return options.frames >= 0 && options.dt > 0.0;
}

void setUp(Simulation& sim, ClothStorage& storage, const Options& options) {
  attachClothStorage(sim.state.cloth, storage);
  seedRandom(sim.state.random, options.seedIJ, options.seedKL);
  configureSimulation(sim.state, options.windPower, options.isPreview);
  sim.countsPerFrame = std::max<int64_t>(1, std::llround(options.dt * kCountsPerSecond));
  startSimulationAt(sim.state, sim.counter, kCountsPerSecond);
}

// One frame as the renderer runs it, with vertexBuffer standing in for the
// Direct3D vertex buffer.
inline void runFrame(Simulation& sim, FlagVertex* vertexBuffer) {
  sim.counter += sim.countsPerFrame;
  runSimulationFrameAt(sim.state, sim.counter, vertexBuffer);
}

void printVertices(const ClothGrid& grid) {
  for (int k = 0; k < kClothVertexCount; ++k) {
    const FlagVertex& v = grid.current[k];
    std::printf("%d %.6f %.6f %.6f\n", k, v.x, v.y, v.z);
  }
}

int runStability(Simulation& sim, FlagVertex* vertexBuffer, int64_t frames) {
  float largest = 0.0f;
  for (int64_t frame = 1; frame <= frames; ++frame) {
    runFrame(sim, vertexBuffer);
    if (firstNonFiniteVertex(sim.state.cloth) >= 0) {
      std::printf("not finite at frame %" PRId64 "\n", frame);
      return kExitNotFinite;
    }
    for (int k = 0; k < kClothVertexCount; ++k) {
      const FlagVertex& v = sim.state.cloth.current[k];
      largest = std::max({largest, std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
    }
  }
  std::printf("finite after %" PRId64
              " frames; largest coordinate %.6f; step %.7f; "
              "calibration frames %d\n",
              frames, largest, sim.state.calibration.stepSize,
              sim.state.calibration.calibrationFrames);
  return 0;
}

void runBenchmark(Simulation& sim, FlagVertex* vertexBuffer, int64_t frames) {
  auto start = std::chrono::steady_clock::now();
  for (int64_t frame = 0; frame < frames; ++frame) runFrame(sim, vertexBuffer);
  auto end = std::chrono::steady_clock::now();
  double micros = std::chrono::duration<double, std::micro>(end - start).count();
  std::printf("%" PRId64 " frames, mean frame %.3f us\n", frames,
              frames > 0 ? micros / static_cast<double>(frames) : 0.0);
}

// --- SVG picture ---------------------------------------------------------

constexpr int kPictureWidth = 800;
constexpr int kPictureHeight = 600;

struct ScreenPoint {
  float x, y, depth;
};

ScreenPoint project(const Matrix4x4& viewProjection, const FlagVertex& v) {
  const float* m = viewProjection.m;
  float cx = v.x * m[0] + v.y * m[4] + v.z * m[8] + m[12];
  float cy = v.x * m[1] + v.y * m[5] + v.z * m[9] + m[13];
  float cw = v.x * m[3] + v.y * m[7] + v.z * m[11] + m[15];
  if (!(std::fabs(cw) > 1e-6f)) cw = 1e-6f;
  return ScreenPoint{(cx / cw + 1.0f) * 0.5f * kPictureWidth,
                     (1.0f - cy / cw) * 0.5f * kPictureHeight, cw};
}

Matrix4x4 multiply(const Matrix4x4& a, const Matrix4x4& b) {
  Matrix4x4 out;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      float sum = 0.0f;
      for (int i = 0; i < 4; ++i) sum += a.m[4 * r + i] * b.m[4 * i + c];
      out.m[4 * r + c] = sum;
    }
  return out;
}

bool writeSvg(const char* path, const ClothGrid& grid) {
  // The scene's camera: 60 units in front of the flag, 45° field, 4:3.
  Matrix4x4 view, projection;
  matrixLookAtLH(view, Vector3{0.0f, 0.0f, -60.0f}, Vector3{0.0f, 0.0f, 0.0f},
                 Vector3{0.0f, 1.0f, 0.0f});
  matrixPerspectiveFovLH(projection, 0.78539819f, 4.0f / 3.0f, 1.0f, 100.0f);
  Matrix4x4 viewProjection = multiply(view, projection);

  static ScreenPoint points[kClothVertexCount];
  for (int k = 0; k < kClothVertexCount; ++k) points[k] = project(viewProjection, grid.current[k]);

  // Painter's order: farthest triangle first.
  constexpr int kTriangles = kClothIndexCount / 3;
  static int order[kTriangles];
  static float depth[kTriangles];
  for (int t = 0; t < kTriangles; ++t) {
    order[t] = t;
    const uint16_t* tri = grid.indices + 3 * t;
    depth[t] = points[tri[0]].depth + points[tri[1]].depth + points[tri[2]].depth;
  }
  std::sort(order, order + kTriangles, [](int a, int b) { return depth[a] > depth[b]; });

  std::FILE* file = std::fopen(path, "w");
  if (file == nullptr) return false;
  std::fprintf(file,
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\">\n"
               "<rect width=\"100%%\" height=\"100%%\" fill=\"#203040\"/>\n",
               kPictureWidth, kPictureHeight);
  for (int t : order) {
    const uint16_t* tri = grid.indices + 3 * t;
    const FlagVertex& a = grid.current[tri[0]];
    const FlagVertex& b = grid.current[tri[1]];
    const FlagVertex& c = grid.current[tri[2]];
    Vector3 ab, ac, n;
    vectorSubtract(ab, Vector3{b.x, b.y, b.z}, Vector3{a.x, a.y, a.z});
    vectorSubtract(ac, Vector3{c.x, c.y, c.z}, Vector3{a.x, a.y, a.z});
    vectorNormalize(n, vectorCross(n, ab, ac));
    // Light from the camera, a little from above.
    float light = std::fabs(n.z * 0.9f + n.y * 0.3f);
    int grey = static_cast<int>(40.0f + 215.0f * std::min(light, 1.0f));
    std::fprintf(file,
                 "<polygon points=\"%.2f,%.2f %.2f,%.2f %.2f,%.2f\" fill=\"rgb(%d,%d,%d)\" "
                 "stroke=\"rgb(%d,%d,%d)\" stroke-width=\"0.5\"/>\n",
                 points[tri[0]].x, points[tri[0]].y, points[tri[1]].x, points[tri[1]].y,
                 points[tri[2]].x, points[tri[2]].y, grey, grey, grey, grey, grey, grey);
  }
  ScreenPoint top = project(viewProjection, grid.current[kPinnedVertices[2]]);
  ScreenPoint bottom = project(viewProjection, grid.current[kPinnedVertices[0]]);
  std::fprintf(file,
               "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#c08040\" "
               "stroke-width=\"4\"/>\n</svg>\n",
               top.x, top.y - 20.0f, bottom.x, bottom.y + 120.0f);
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    printUsage();
    return kExitUsage;
  }

  auto storage = std::make_unique<ClothStorage>();
  auto vertexBuffer = std::make_unique<FlagVertex[]>(kClothVertexCount);
  Simulation sim;
  setUp(sim, *storage, options);

  int result = 0;
  if (options.benchmark) {
    runBenchmark(sim, vertexBuffer.get(), options.frames);
  } else if (options.stability) {
    result = runStability(sim, vertexBuffer.get(), options.frames);
  } else {
    for (int64_t frame = 0; frame < options.frames; ++frame) runFrame(sim, vertexBuffer.get());
    printVertices(sim.state.cloth);
  }

  if (options.svgPath != nullptr && !writeSvg(options.svgPath, sim.state.cloth)) {
    std::fprintf(stderr, "flagsim: cannot write %s\n", options.svgPath);
    return 1;
  }
  return result;
}
