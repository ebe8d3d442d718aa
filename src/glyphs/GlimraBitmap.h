#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "glyphs/GlimraClassRef.h"
#include "raster/Pixmap.h"

// One glyph strip: a row of equal slots, one glyph image each, all in the colour of one state of
// one behaviour class. Slot i starts at x = i * SlotWidth + 1: column 0 belongs to no slot and the
// last slot's rightmost column lies beyond the strip, where nothing is stored (a copy from there
// leaves the destination as it was). Every reader and writer goes through SlotLeft.
class vGlimraAlphabet {
public:
    vGlimraAlphabet(CreatureClassRef creatureClass, int32_t stateIndex, int32_t slotWidth, int32_t slotHeight,
                    int32_t slotCount);
    vGlimraAlphabet(const vGlimraAlphabet&) = delete;
    vGlimraAlphabet& operator=(const vGlimraAlphabet&) = delete;

    // Makes the strip's pixmap (black) at StripWidth x StripHeight.
    void CreateStripBitmap();
    // -1 outside 0..SlotCount-1.
    int32_t SlotLeft(int32_t index) const;

    CreatureClassRef CreatureClass;
    int32_t StateIndex;
    Pixmap Bitmap;
    int32_t SlotWidth;
    int32_t SlotHeight;
    int32_t StripWidth;
    int32_t StripHeight;
    int32_t SlotCount;
};

// All strips of the program, in the order they were made; looked up by (class, state).
class vGlimraDictionary {
public:
    vGlimraDictionary() = default;
    ~vGlimraDictionary() { Clear(); }
    vGlimraDictionary(const vGlimraDictionary&) = delete;
    vGlimraDictionary& operator=(const vGlimraDictionary&) = delete;

    int32_t Count() const { return static_cast<int32_t>(m_alphabets.size()); }
    vGlimraAlphabet* AlphabetAt(int32_t index) const;
    vGlimraAlphabet* Find(CreatureClassRef creatureClass, int32_t stateIndex) const;
    // Appends a new strip without looking for one with the same key. A strip with no slot, or one
    // that would take the dictionary past MaxStripPixels, is not made: nil.
    vGlimraAlphabet* Add(CreatureClassRef creatureClass, int32_t stateIndex, int32_t slotWidth,
                         int32_t slotHeight, int32_t slotCount);
    void Clear();
    int64_t PixelCount() const { return m_pixels; }

private:
    std::vector<std::unique_ptr<vGlimraAlphabet>> m_alphabets;
    int64_t m_pixels = 0;
};

// All strips together may hold at most this many pixels (256 MiB). The largest set the settings
// dialog can ask for at ordinary sizes stays far below it; hand-edited sizes and state counts
// cannot exhaust memory. Strips beyond it are not made, so those states draw nothing.
inline constexpr int64_t MaxStripPixels = int64_t{1} << 26;

void InitializeGlimraBitmap();
void FinalizeGlimraBitmap();
vGlimraDictionary* Dictionary();
vGlimraAlphabet* FindAlphabet(CreatureClassRef creatureClass, int32_t stateIndex);
vGlimraAlphabet* AddAlphabet(CreatureClassRef creatureClass, int32_t stateIndex, int32_t slotWidth,
                             int32_t slotHeight, int32_t slotCount);
