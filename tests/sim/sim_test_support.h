// A whole cloth simulation for the tests: the records that the program keeps
// in its AppState, here owned by the test, driven frame by frame as the
// renderer drives them (tick, step, copy into a vertex buffer, normal pass).
#pragma once

#include <cmath>
#include <cstring>
#include <memory>

#include "sim/cloth_dynamics.h"

struct TestSimulation {
    static constexpr int64_t kFrequency = 1000000000;

    std::unique_ptr<ClothStorage> storage = std::make_unique<ClothStorage>();
    std::unique_ptr<FlagVertex[]> vertexBuffer = std::make_unique<FlagVertex[]>(kClothVertexCount);
    ClothGrid grid;
    StepCalibration calibration;
    WindState wind;
    FrameTimer timer;
    RandomGenerator rng;
    int64_t counter = 0;
    bool isPreview = false;

    explicit TestSimulation(int windPower = 50, uint32_t seedIJ = 0, uint32_t seedKL = 0)
    {
        attachClothStorage(grid, *storage);
        seedRandom(rng, seedIJ, seedKL);
        setUpCloth(grid, wind.windVector);
        setWindPower(wind, windPower);
        startTimerAt(timer, counter, kFrequency);
    }

    void runFrame(double frameSeconds)
    {
        counter += static_cast<int64_t>(std::llround(frameSeconds * kFrequency));
        tickTimerAt(timer, counter);
        stepCloth(grid, calibration, wind, timer, rng, isPreview);
        std::memcpy(vertexBuffer.get(), grid.current, kClothVertexBytes);
        updateClothNormals(grid, wind.windVector);
    }

    void runFrames(int frames, double frameSeconds)
    {
        for (int n = 0; n < frames; ++n) runFrame(frameSeconds);
    }

    // Index of the first vertex or particle with a non-finite value, or -1.
    int firstNonFinite() const
    {
        for (int k = 0; k < kClothVertexCount; ++k) {
            const FlagVertex& v = grid.current[k];
            const ClothParticle& p = grid.particles[k];
            const float values[] = {v.x, v.y, v.z, v.sx, v.sy, v.sz,
                                    p.fx, p.fy, p.fz, p.vx, p.vy, p.vz};
            for (float value : values)
                if (!std::isfinite(value)) return k;
        }
        return -1;
    }
};
