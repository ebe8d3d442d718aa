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
//
// A strip the dictionary's budget cannot hold keeps no pixels (Bitmap is empty) but the same
// geometry; what its slots hold (TextColour, FirstChar, GlyphSlots) is kept for every strip, so the
// glyph module can draw such a strip's slots from the font whenever they are read.
class vGlimraAlphabet {
public:
    // withPixels false leaves Bitmap empty: the strip is drawn from the font when read.
    vGlimraAlphabet(CreatureClassRef creatureClass, int32_t stateIndex, int32_t slotWidth, int32_t slotHeight,
                    int32_t slotCount, bool withPixels = true);
    vGlimraAlphabet(const vGlimraAlphabet&) = delete;
    vGlimraAlphabet& operator=(const vGlimraAlphabet&) = delete;

    // Makes the strip's pixmap (black) at StripWidth x StripHeight.
    void CreateStripBitmap();
    // -1 outside 0..SlotCount-1. Inline: every painted cell asks it.
    int32_t SlotLeft(int32_t index) const {
        if (index < 0 || index >= SlotCount)
            return -1;
        return index * SlotWidth + 1;
    }
    bool HasPixels() const { return !Bitmap.IsEmpty(); }

    CreatureClassRef CreatureClass;
    int32_t StateIndex;
    Pixmap Bitmap;
    int32_t SlotWidth;
    int32_t SlotHeight;
    int32_t StripWidth;
    int32_t StripHeight;
    int32_t SlotCount;
    // Slots 0..GlyphSlots-1 hold the characters FirstChar.. in TextColour (0x00BBGGRR); the others
    // are black.
    uint32_t TextColour = 0;
    int32_t FirstChar = 0;
    int32_t GlyphSlots = 0;
};

// All strips together hold at most this many pixels (256 MiB). The dialog's font chooser has no
// size limit and its state counts and range multiply: a large font with many states asks for
// gigabytes. Strips past the budget keep no pixels and are drawn from the font when used, slower
// but the same picture, so every behaviour still shows.
inline constexpr int64_t MaxStripPixels = int64_t{1} << 26;

// All strips of the program, in the order they were made; looked up by (class, state).
class vGlimraDictionary {
public:
    vGlimraDictionary() : m_budget(MaxStripPixels) {}
    ~vGlimraDictionary() { Clear(); }
    vGlimraDictionary(const vGlimraDictionary&) = delete;
    vGlimraDictionary& operator=(const vGlimraDictionary&) = delete;

    int32_t Count() const { return static_cast<int32_t>(m_alphabets.size()); }
    vGlimraAlphabet* AlphabetAt(int32_t index) const;
    vGlimraAlphabet* Find(CreatureClassRef creatureClass, int32_t stateIndex) const;
    // Appends a new strip without looking for one with the same key. A strip that would take the
    // dictionary past its pixel budget is made without pixels. A strip with no slot, or one too
    // wide to address, is not made: nil.
    vGlimraAlphabet* Add(CreatureClassRef creatureClass, int32_t stateIndex, int32_t slotWidth,
                         int32_t slotHeight, int32_t slotCount);
    void Clear();
    // The pixels of all strips that hold them.
    int64_t PixelCount() const { return m_pixels; }
    int64_t PixelBudget() const { return m_budget; }
    // Applies to the strips added from now on.
    void SetPixelBudget(int64_t pixels) { m_budget = pixels; }

private:
    // The strips of one class by state, the first added for each key, so that finding the strip a
    // glyph is drawn from costs the same however many strips there are.
    struct ClassStrips {
        CreatureClassRef CreatureClass;
        std::vector<vGlimraAlphabet*> ByState;
    };
    // States beyond this are found by a search, so that a stray index cannot grow a table.
    static constexpr int32_t MaxIndexedState = 1024;

    std::vector<std::unique_ptr<vGlimraAlphabet>> m_alphabets;
    std::vector<ClassStrips> m_index;
    int64_t m_pixels = 0;
    int64_t m_budget;
};

void InitializeGlimraBitmap();
void FinalizeGlimraBitmap();
vGlimraDictionary* Dictionary();
vGlimraAlphabet* FindAlphabet(CreatureClassRef creatureClass, int32_t stateIndex);
vGlimraAlphabet* AddAlphabet(CreatureClassRef creatureClass, int32_t stateIndex, int32_t slotWidth,
                             int32_t slotHeight, int32_t slotCount);
