#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>

#include "glyphs/GlimraRasteriser.h"
#include "raster/Color.h"
#include "raster/Pixmap.h"

// What every glyph rasteriser must do with the bundled font registered: the FreeType and the GDI
// tests both run these, so that the two draw the same cells.

inline constexpr char BundledFace[] = "Japanese Generic1";
// Green at full strength, blue at 0xC6, no red: anti-aliasing shows in the channels apart.
inline constexpr uint32_t SeaGreen = RgbColorRef(0x00, 0xFF, 0xC6);

GlimraLogFont LogFontOf(const char* face, int32_t height = -13, int32_t weight = 900);
// The character in a pixmap of the font's glyph cell, as the strips hold it.
Pixmap DrawInCell(const GlimraFont& font, uint8_t code, uint32_t colorRef = SeaGreen);
uint32_t Brightest(const Pixmap& pixmap);
bool IsBlank(const Pixmap& pixmap);

// The cell of the bundled font at the heights and weights the settings reach, GDI's measures.
void ExpectTheBundledFontsCells(GlimraRasteriser& rasteriser);
// Each of the 45 katakana is visible and unlike every other.
void ExpectEachKatakanaDrawnApart(GlimraRasteriser& rasteriser);
// Drawing paints the glyph cell, black where the glyph is not, and no pixel outside it.
void ExpectOnlyTheCellPainted(GlimraRasteriser& rasteriser, std::initializer_list<uint8_t> codes);
// A target smaller than the cell holds the cell's top-left part.
void ExpectClippedToASmallerTarget(GlimraRasteriser& rasteriser);
// Every katakana reaches the colour at full coverage, every pixel is one that isFaithful accepts
// for the colour, and enough of them lie between black and the colour to show anti-aliasing.
void ExpectTheColourAtFullCoverageAndAntiAliasedEdges(GlimraRasteriser& rasteriser,
                                                      const std::function<bool(uint32_t pixel)>& isFaithful);
