#include "engine/GlimraRandom.h"

#include <chrono>
#include <optional>

namespace {

// SplitMix64: tiny, fast and fully specified, unlike the standard distributions whose output
// differs between library implementations.
uint64_t g_state = 0x9E3779B97F4A7C15ull;
std::optional<uint64_t> g_pinnedSeed;

struct Script {
    std::vector<int64_t> draws;
    size_t next = 0;
    size_t misfits = 0;
};
Script* g_script = nullptr;

uint64_t NextBits() {
    uint64_t z = (g_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Rejection sampling keeps the draw exactly uniform for every n.
uint64_t UniformBelow(uint64_t n) {
    const uint64_t limit = UINT64_MAX - UINT64_MAX % n;
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
    if (g_script != nullptr && g_script->next < g_script->draws.size()) {
        int64_t value = g_script->draws[g_script->next++];
        if (value < 0 || value >= n) {
            ++g_script->misfits;
            value = value < 0 ? 0 : n - 1;
        }
        return value;
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

ScriptedRandomDraws::ScriptedRandomDraws(std::vector<int64_t> draws) {
    g_script = new Script{std::move(draws), 0, 0};
}

ScriptedRandomDraws::~ScriptedRandomDraws() {
    delete g_script;
    g_script = nullptr;
}

size_t ScriptedRandomDraws::Remaining() const {
    return g_script->draws.size() - g_script->next;
}

size_t ScriptedRandomDraws::Misfits() const {
    return g_script->misfits;
}
