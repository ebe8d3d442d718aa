# FreeType's drawing of one face, which every face of the program that draws with FreeType shares
# (the Linux programs and the browser), so that they draw the same glyphs.
if(NOT TARGET Freetype::Freetype)
  find_package(Freetype REQUIRED)
endif()
glimra_library(glimra_posix_freetype
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FreeTypeFont.cpp
  DEPS glimra_glyphs
  PUBLIC_LIBS Freetype::Freetype)
if(EMSCRIPTEN)
  return()
endif()
# The glyph rasteriser of the Linux programs: fontconfig finds the faces, FreeType draws them.
find_package(Fontconfig REQUIRED)
glimra_library(glimra_posix_glyphs
  SOURCES FreeTypeRasteriser.cpp ExecutableDirectory.cpp
  DEPS glimra_posix_freetype
  PUBLIC_LIBS Fontconfig::Fontconfig)
