# The glyph rasteriser of the Windows programs: GDI, and the .FOT route to register the font.
glimra_library(glimra_win32_glyphs
  SOURCES GdiRasteriser.cpp ExecutableDirectory.cpp
  DEPS glimra_glyphs
  PUBLIC_LIBS gdi32 user32)
