#include "support/ScriptedRandomDraws.h"

ScriptedRandomDraws::ScriptedRandomDraws(std::vector<int64_t> draws) : m_draws(std::move(draws)) {
    InstallDrawSource(this);
}

ScriptedRandomDraws::~ScriptedRandomDraws() {
    InstallDrawSource(nullptr);
}

std::optional<int64_t> ScriptedRandomDraws::Next(int64_t n) {
    if (m_next >= m_draws.size())
        return std::nullopt;
    int64_t value = m_draws[m_next++];
    if (value < 0 || value >= n) {
        ++m_misfits;
        value = value < 0 ? 0 : n - 1;
    }
    return value;
}
