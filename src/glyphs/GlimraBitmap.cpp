#include "glyphs/GlimraBitmap.h"

#include <algorithm>

namespace {
vGlimraDictionary* g_dictionary = nullptr;
}

vGlimraAlphabet::vGlimraAlphabet(CreatureClassRef creatureClass, int32_t stateIndex, int32_t slotWidth,
                                 int32_t slotHeight, int32_t slotCount, bool withPixels)
    : CreatureClass(creatureClass), StateIndex(stateIndex), SlotWidth(slotWidth), SlotHeight(slotHeight),
      StripWidth(slotWidth * slotCount), StripHeight(slotHeight), SlotCount(slotCount) {
    if (withPixels)
        CreateStripBitmap();
}

void vGlimraAlphabet::CreateStripBitmap() {
    Bitmap = Pixmap(StripWidth, StripHeight);
}

vGlimraAlphabet* vGlimraDictionary::AlphabetAt(int32_t index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return m_alphabets[static_cast<size_t>(index)].get();
}

vGlimraAlphabet* vGlimraDictionary::Find(CreatureClassRef creatureClass, int32_t stateIndex) const {
    if (stateIndex >= 0 && stateIndex < MaxIndexedState) {
        for (const ClassStrips& entry : m_index)
            if (entry.CreatureClass == creatureClass)
                return static_cast<size_t>(stateIndex) < entry.ByState.size()
                           ? entry.ByState[static_cast<size_t>(stateIndex)]
                           : nullptr;
        return nullptr;
    }
    for (const auto& alphabet : m_alphabets)
        if (alphabet->CreatureClass == creatureClass && alphabet->StateIndex == stateIndex)
            return alphabet.get();
    return nullptr;
}

vGlimraAlphabet* vGlimraDictionary::Add(CreatureClassRef creatureClass, int32_t stateIndex, int32_t slotWidth,
                                        int32_t slotHeight, int32_t slotCount) {
    if (slotWidth <= 0 || slotHeight <= 0 || slotCount <= 0)
        return nullptr;
    // Each factor is below 2^31, so the strip's width fits 62 bits and its area is checked after it.
    const int64_t stripWidth = int64_t{slotWidth} * slotCount;
    if (stripWidth > INT32_MAX)
        return nullptr;
    const int64_t pixels = stripWidth * slotHeight;
    const bool fits = pixels <= m_budget - m_pixels;
    m_alphabets.push_back(
        std::make_unique<vGlimraAlphabet>(creatureClass, stateIndex, slotWidth, slotHeight, slotCount, fits));
    if (fits)
        m_pixels += pixels;
    vGlimraAlphabet* added = m_alphabets.back().get();
    if (stateIndex >= 0 && stateIndex < MaxIndexedState) {
        auto entry = std::find_if(m_index.begin(), m_index.end(), [&](const ClassStrips& strips) {
            return strips.CreatureClass == creatureClass;
        });
        if (entry == m_index.end())
            entry = m_index.insert(m_index.end(), ClassStrips{creatureClass, {}});
        const auto state = static_cast<size_t>(stateIndex);
        if (entry->ByState.size() <= state)
            entry->ByState.resize(state + 1, nullptr);
        if (entry->ByState[state] == nullptr)
            entry->ByState[state] = added;
    }
    return added;
}

void vGlimraDictionary::Clear() {
    for (auto& alphabet : m_alphabets)
        alphabet.reset();
    m_alphabets.clear();
    m_index.clear();
    m_pixels = 0;
}

void InitializeGlimraBitmap() {
    if (g_dictionary == nullptr)
        g_dictionary = new vGlimraDictionary;
}

void FinalizeGlimraBitmap() {
    delete g_dictionary;
    g_dictionary = nullptr;
}

vGlimraDictionary* Dictionary() {
    return g_dictionary;
}

vGlimraAlphabet* FindAlphabet(CreatureClassRef creatureClass, int32_t stateIndex) {
    return g_dictionary == nullptr ? nullptr : g_dictionary->Find(creatureClass, stateIndex);
}

vGlimraAlphabet* AddAlphabet(CreatureClassRef creatureClass, int32_t stateIndex, int32_t slotWidth,
                             int32_t slotHeight, int32_t slotCount) {
    return g_dictionary == nullptr
               ? nullptr
               : g_dictionary->Add(creatureClass, stateIndex, slotWidth, slotHeight, slotCount);
}
