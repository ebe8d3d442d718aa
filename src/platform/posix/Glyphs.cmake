# The glyph rasteriser of the Linux programs: fontconfig finds the faces, FreeType draws them.
find_package(Freetype REQUIRED)
find_package(Fontconfig REQUIRED)
glimra_library(glimra_posix_glyphs
  SOURCES FreeTypeRasteriser.cpp ExecutableDirectory.cpp
  DEPS glimra_glyphs
  PUBLIC_LIBS Freetype::Freetype Fontconfig::Fontconfig)
