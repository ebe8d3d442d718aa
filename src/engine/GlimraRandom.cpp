#include "engine/GlimraRandom.h"

#include <chrono>

namespace {

// SplitMix64: tiny, fast and fully specified, unlike the standard distributions whose output
// differs between library implementations.
uint64_t g_state = 0x9E3779B97F4A7C15ull;
std::optional<uint64_t> g_pinnedSeed;

GlimraDrawSource* g_drawSource = nullptr;

uint64_t NextBits() {
    uint64_t z = (g_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Rejection sampling keeps the draw exactly uniform for every n. Most draws repeat the bound of
// the one before (a percentage, a strip's slot count), so its limit is kept rather than divided
// out again.
uint64_t UniformBelow(uint64_t n) {
    static uint64_t s_bound = 1;
    static uint64_t s_limit = UINT64_MAX;
    if (n != s_bound) {
        s_bound = n;
        s_limit = UINT64_MAX - UINT64_MAX % n;
    }
    const uint64_t limit = s_limit;
    uint64_t bits;
    do {
        bits = NextBits();
    } while (bits >= limit);
    return bits % n;
}

} // namespace

int64_t Random64(int64_t n) {
    if (n <= 0)
        return 0;
    if (g_drawSource != nullptr) {
        if (const std::optional<int64_t> drawn = g_drawSource->Next(n))
            return *drawn;
    }
    return static_cast<int64_t>(UniformBelow(static_cast<uint64_t>(n)));
}

int32_t Random(int32_t n) {
    return static_cast<int32_t>(Random64(n));
}

void Randomize() {
    if (g_pinnedSeed) {
        g_state = *g_pinnedSeed;
        return;
    }
    g_state = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

void PinRandomSeed(uint64_t seed) {
    g_pinnedSeed = seed;
    g_state = seed;
}

void UnpinRandomSeed() {
    g_pinnedSeed.reset();
}

void InstallDrawSource(GlimraDrawSource* source) {
    g_drawSource = source;
}
