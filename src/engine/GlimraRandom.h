#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The one program-wide random source. Its sequence depends only on the seed (the same on every
// platform and compiler), so a pinned seed reproduces a run frame by frame.

// Uniform in [0, n); 0 when n <= 0.
int32_t Random(int32_t n);
// The same for ranges that only 64-bit arithmetic can hold (sums of hostile weights).
int64_t Random64(int64_t n);

// Seeds from the clock, unless a seed is pinned; the engine calls it at its creation.
void Randomize();
// Pins the seed: every later Randomize restarts the same sequence. Used by tests and the renderer.
void PinRandomSeed(uint64_t seed);
void UnpinRandomSeed();

// Where draws come from instead of the generator while one is installed: tests script exact draws
// with it. Next answers a draw in [0, n), or nothing to let the generator answer.
class GlimraDrawSource {
public:
    virtual ~GlimraDrawSource() = default;
    virtual std::optional<int64_t> Next(int64_t n) = 0;
};
// nil puts the generator back.
void InstallDrawSource(GlimraDrawSource* source);
