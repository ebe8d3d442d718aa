#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/GlimraRandom.h"

// For tests that need exact draws: while one exists, each draw takes the next scripted value instead
// of the generator's (clamped into [0, n), and counted as a misfit when it had to be). Once the
// script is used up, draws come from the generator again.
class ScriptedRandomDraws final : public GlimraDrawSource {
public:
    explicit ScriptedRandomDraws(std::vector<int64_t> draws);
    ~ScriptedRandomDraws() override;
    ScriptedRandomDraws(const ScriptedRandomDraws&) = delete;
    ScriptedRandomDraws& operator=(const ScriptedRandomDraws&) = delete;

    std::optional<int64_t> Next(int64_t n) override;
    size_t Remaining() const { return m_draws.size() - m_next; }
    size_t Misfits() const { return m_misfits; }

private:
    std::vector<int64_t> m_draws;
    size_t m_next = 0;
    size_t m_misfits = 0;
};
