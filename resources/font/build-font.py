#!/usr/bin/python3
"""Builds GlimraCode.TTF, the glyph font that ships beside the programs, and LICENSE.txt beside it.

    /usr/bin/python3 resources/font/build-font.py            # rewrite both files
    /usr/bin/python3 resources/font/build-font.py --check    # fail if the committed files differ

Needs Debian's fonts-ipafont-gothic (the outlines) and python3-fonttools; Debian installs fontTools
for /usr/bin/python3 only, so run it with that interpreter. The same source font and the same
fontTools give the same bytes on every run: no timestamp or other varying value enters the file.
README.md says what the font holds and how to put the original back.
"""

import argparse
import hashlib
import io
import sys
from pathlib import Path

from fontTools import subset
from fontTools.ttLib import TTFont, newTable
from fontTools.ttLib.tables import ttProgram
from fontTools.ttLib.tables._c_m_a_p import cmap_classes
from fontTools.ttLib.tables._g_l_y_f import GlyphCoordinates
from fontTools.misc.timeTools import timestampFromString

SOURCE_FONT = Path("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf")
SOURCE_COPYRIGHT = Path("/usr/share/doc/fonts-ipafont-gothic/copyright")
# The file this script was last run on (Debian's 00303-23). Another file still builds, but the
# result will not match the committed one byte for byte.
SOURCE_SHA256 = "503af4a8b84d1079b8e2e358dc7f7a7fb8cb7a1f212f35eaef6782dbfc75a55e"

HERE = Path(__file__).resolve().parent
OUTPUT_FONT = HERE / "GlimraCode.TTF"
OUTPUT_LICENSE = HERE / "LICENSE.txt"

FAMILY = "Japanese Generic1"
POSTSCRIPT_NAME = "JapaneseGeneric1"
VERSION = "1.000"
# Both head dates; a constant, so that rebuilding never changes the file.
TIMESTAMP = timestampFromString("Mon Jan  6 00:00:00 2025")

# Every glyph of the font is this wide: one glyph cell, the half width of the source's 2048 em.
CELL_ADVANCE = 1024

# Symbol fonts map byte c to U+F000 + c, so a byte means the same glyph whatever the code page.
SYMBOL_BASE = 0xF000


def code_map():
    """Byte code -> the source font's Unicode character drawn for it."""
    codes = {}
    # ASCII, with the space so that code 32 draws the blank a user would expect.
    for code in range(0x20, 0x7F):
        codes[code] = code
    # The source draws U+005C as a yen sign, the Japanese convention; the yen has a code of its own
    # (0xA5) here, so the backslash comes from the full-width one.
    codes[0x5C] = 0xFF3C
    # The 63 half-width katakana and their punctuation, U+FF61..U+FF9F, in order from 0xB1, so that
    # 193..237 are the 45 letters U+FF71..U+FF9D.
    for code in range(0xB1, 0xF0):
        codes[code] = 0xFF61 + (code - 0xB1)
    # The codes around them read as Latin-1 (and so as Windows-1252): a user's range that runs past
    # the katakana still shows characters.
    for code in list(range(0xA1, 0xB1)) + list(range(0xF0, 0x100)):
        codes[code] = code
    assert codes[193] == 0xFF71 and codes[237] == 0xFF9D
    return codes


def narrow(font, glyph_name):
    """Squeezes a full-width glyph to half width, centred in the cell.

    The source draws a few Latin-1 signs (cent, pound, yen, section, diaeresis, not, degree, divide)
    and the backslash only full width; one wide glyph would widen every cell. The glyph's hinting program addressed
    the old outline, so it goes."""
    glyf = font["glyf"]
    glyph = glyf[glyph_name]
    assert glyph.numberOfContours > 0, glyph_name
    coordinates = [(round(x / 2), y) for x, y in glyph.coordinates]
    left = min(x for x, _ in coordinates)
    right = max(x for x, _ in coordinates)
    shift = (CELL_ADVANCE - (left + right)) // 2
    glyph.coordinates = GlyphCoordinates([(x + shift, y) for x, y in coordinates])
    glyph.program = ttProgram.Program()
    glyph.program.fromBytecode(b"")
    glyph.recalcBounds(glyf)
    font["hmtx"][glyph_name] = (CELL_ADVANCE, glyph.xMin)


def symbol_cmap(glyph_of_code):
    table = cmap_classes[4](4)
    table.platformID = 3
    table.platEncID = 0
    table.language = 0
    table.cmap = {SYMBOL_BASE + code: name for code, name in sorted(glyph_of_code.items())}
    cmap = newTable("cmap")
    cmap.tableVersion = 0
    cmap.tables = [table]
    return cmap


def name_table(source_names):
    name = newTable("name")
    name.names = []
    records = {
        0: source_names[0],  # the licensor's copyright notice, as the licence asks
        1: FAMILY,
        2: "Regular",
        3: f"{FAMILY} {VERSION}",
        4: FAMILY,
        5: f"Version {VERSION}",
        6: POSTSCRIPT_NAME,
        13: source_names[13],  # licence description
        14: source_names[14],  # licence URL
    }
    # Windows wants a symbol font's names under the symbol encoding (3, 0); FreeType, fontconfig and
    # Wine read the Unicode encoding (3, 1) as well. Both carry the same text.
    for encoding in (0, 1):
        for name_id, text in records.items():
            name.setName(text, name_id, 3, encoding, 0x409)
    return name


def set_metrics(font):
    """Makes every reader of the font measure the same glyph cell.

    GDI takes the cell height from OS/2 usWinAscent + usWinDescent (1802 + 401 units: 11 + 3 = 14
    pixels at a 13-pixel em) and the cell width from the glyphs' horizontal extent (head xMax - xMin),
    one pixel wider when it emboldens. FreeType's own size metrics take the height from hhea, which
    in the source says 1802 + 246 (13 pixels). hhea is made to repeat the Windows values, and every
    glyph fits in one cell advance, which the underscore fills exactly, so that the extent, the widest
    advance and the average all equal CELL_ADVANCE. The FreeType rasteriser still computes the cell
    with GDI's own formula, so this is agreement twice over, not a precondition."""
    os2 = font["OS/2"]
    hhea = font["hhea"]
    hhea.ascent = os2.usWinAscent
    hhea.descent = -os2.usWinDescent
    hhea.lineGap = 0
    os2.xAvgCharWidth = CELL_ADVANCE
    os2.ulUnicodeRange1 = 0
    os2.ulUnicodeRange2 = 1 << 28  # bit 60: Private Use Area, where the symbol cmap lives
    os2.ulUnicodeRange3 = 0
    os2.ulUnicodeRange4 = 0
    os2.ulCodePageRange1 = 1 << 31  # the symbol character set
    os2.ulCodePageRange2 = 0
    os2.usFirstCharIndex = SYMBOL_BASE + 0x20
    os2.usLastCharIndex = SYMBOL_BASE + 0xFF
    os2.usDefaultChar = 0
    os2.usBreakChar = 0x20
    os2.usMaxContext = 0
    os2.achVendID = "NONE"
    os2.usWeightClass = 400
    os2.fsSelection = 0x40  # regular


def build():
    if not SOURCE_FONT.exists():
        sys.exit(f"{SOURCE_FONT} is missing: apt-get install fonts-ipafont-gothic")
    digest = hashlib.sha256(SOURCE_FONT.read_bytes()).hexdigest()
    if digest != SOURCE_SHA256:
        print(f"warning: {SOURCE_FONT} is not the file this script was made for; "
              "the result will differ from the committed font", file=sys.stderr)

    font = TTFont(str(SOURCE_FONT), recalcTimestamp=False)
    source_cmap = font.getBestCmap()
    source_names = {name_id: font["name"].getDebugName(name_id) for name_id in (0, 13, 14)}

    codes = code_map()
    glyph_of_code = {code: source_cmap[char] for code, char in codes.items()}
    for name in sorted(set(glyph_of_code.values())):
        if font["hmtx"][name][0] != CELL_ADVANCE:
            narrow(font, name)

    options = subset.Options()
    options.layout_features = []
    options.drop_tables += ["GSUB", "GPOS", "GDEF", "BASE", "JSTF", "vhea", "vmtx", "VORG"]
    options.name_IDs = []
    options.notdef_glyph = True
    options.notdef_outline = False
    options.glyph_names = False
    options.hinting = True
    options.recalc_bounds = True
    options.recalc_timestamp = False
    options.prune_unicode_ranges = False
    subsetter = subset.Subsetter(options)
    subsetter.populate(glyphs=sorted(set(glyph_of_code.values())))
    subsetter.subset(font)

    # Unmapped codes show nothing, in a cell no wider than the others.
    font["hmtx"][".notdef"] = (CELL_ADVANCE, 0)

    font["cmap"] = symbol_cmap(glyph_of_code)
    font["name"] = name_table(source_names)
    set_metrics(font)

    # Grey anti-aliasing and grid-fitting at every size: the source's table asks for bilevel glyphs
    # between 9 and 16 pixels, which GDI obeys, and the glyph rain is drawn exactly there.
    gasp = newTable("gasp")
    gasp.version = 1
    gasp.gaspRange = {0xFFFF: 0x000F}
    font["gasp"] = gasp

    head = font["head"]
    head.fontRevision = float(VERSION)
    head.created = TIMESTAMP
    head.modified = TIMESTAMP

    post = font["post"]
    post.isFixedPitch = 1

    output = io.BytesIO()
    font.save(output, reorderTables=True)
    return output.getvalue()


def verify(data):
    """Reads the built font back and checks what the programs rely on."""
    font = TTFont(io.BytesIO(data))
    assert font["name"].getDebugName(1) == FAMILY
    assert all("IPA" not in font["name"].getDebugName(i) for i in (1, 3, 4, 6)), "name must not carry the source's"
    tables = font["cmap"].tables
    assert [(t.platformID, t.platEncID) for t in tables] == [(3, 0)]
    mapping = tables[0].cmap
    glyf = font["glyf"]
    for code in list(range(0x21, 0x7F)) + list(range(0xA1, 0x100)):
        name = mapping.get(SYMBOL_BASE + code)
        assert name is not None, f"code {code} has no glyph"
        assert glyf[name].numberOfContours != 0, f"code {code} draws nothing"
    katakana = [mapping[SYMBOL_BASE + code] for code in range(193, 238)]
    assert len(set(katakana)) == 45, "193..237 must be 45 different glyphs"
    head, hhea = font["head"], font["hhea"]
    assert hhea.advanceWidthMax == CELL_ADVANCE
    assert head.xMax - head.xMin == CELL_ADVANCE
    assert all(advance == CELL_ADVANCE for advance, _ in font["hmtx"].metrics.values())
    os2 = font["OS/2"]
    assert (hhea.ascent, -hhea.descent) == (os2.usWinAscent, os2.usWinDescent)
    assert head.yMax <= os2.usWinAscent and -head.yMin <= os2.usWinDescent, "glyphs would be clipped"


def license_text():
    """The IPA-1 licence, Japanese and English, from the package's copyright file, unindented."""
    lines = SOURCE_COPYRIGHT.read_text(encoding="utf-8").splitlines()
    # The Files paragraph names the licence too; the stand-alone paragraph holds its text.
    start = next(i + 1 for i, line in enumerate(lines[:-1])
                 if line == "License: IPA-1" and lines[i + 1].startswith(" "))
    body = []
    for line in lines[start:]:
        if not line.startswith(" "):
            break
        body.append("" if line == " ." else line[1:])
    while body and body[-1] == "":
        body.pop()
    assert any("IPA Font License Agreement v1.0" in line for line in body)
    return ("\n".join(body) + "\n").encode("utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="compare with the committed files instead of writing")
    arguments = parser.parse_args()

    font = build()
    verify(font)
    outputs = {OUTPUT_FONT: font, OUTPUT_LICENSE: license_text()}
    if arguments.check:
        stale = [path.name for path, data in outputs.items() if not path.exists() or path.read_bytes() != data]
        if stale:
            sys.exit(f"out of date: {', '.join(stale)}")
        print("up to date")
        return
    for path, data in outputs.items():
        path.write_bytes(data)
        print(f"wrote {path} ({len(data)} bytes)")


if __name__ == "__main__":
    main()
