# FreeType for the browser, built from Debian's source of the version the Linux programs link
# (tools/web-deps.sh unpacks it), so that both draw the same glyphs. Debian builds it without
# HarfBuzz, which would change the auto-hinter's choices; zlib, bzip2, PNG and Brotli only unpack
# compressed fonts and colour bitmaps, which the bundled font has none of.
set(GLIMRA_FREETYPE_SOURCE "" CACHE PATH "Debian's FreeType source, unpacked by tools/web-deps.sh")
if(NOT EXISTS ${GLIMRA_FREETYPE_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GLIMRA_FREETYPE_SOURCE must name Debian's FreeType source: run tools/web-deps.sh")
endif()
foreach(dependency ZLIB BZIP2 PNG HARFBUZZ BROTLI)
  set(FT_DISABLE_${dependency} TRUE CACHE BOOL "" FORCE)
endforeach()
add_subdirectory(${GLIMRA_FREETYPE_SOURCE} ${CMAKE_BINARY_DIR}/freetype EXCLUDE_FROM_ALL)
# Its warnings are FreeType's to fix, not ours. Where SSE2 is there, as on every x86-64 machine,
# FreeType flattens curves another way, with other coverage at the edges; WebAssembly's SIMD
# stands in for SSE2 so that the glyphs come out as the Linux programs draw them.
target_compile_options(freetype PRIVATE -w -msimd128 -msse2)
add_library(Freetype::Freetype ALIAS freetype)
