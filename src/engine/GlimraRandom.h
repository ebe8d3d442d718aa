#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

// For tests that need exact draws: while a script is set, each draw takes the next scripted value
// instead of the generator's (clamped into [0, n), and counted as a misfit when it had to be).
// Once the script is used up, draws come from the generator again.
class ScriptedRandomDraws {
public:
    explicit ScriptedRandomDraws(std::vector<int64_t> draws);
    ~ScriptedRandomDraws();
    ScriptedRandomDraws(const ScriptedRandomDraws&) = delete;
    ScriptedRandomDraws& operator=(const ScriptedRandomDraws&) = delete;

    size_t Remaining() const;
    size_t Misfits() const;
};
