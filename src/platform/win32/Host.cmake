# The saver host of the Windows programs, and GlimraCode.scr itself.
enable_language(RC)

glimra_library(glimra_win32_host
  SOURCES SaverWindow.cpp SaverProgram.cpp SystemLibrary.cpp
  DEPS glimra_shell glimra_win32_glyphs
  PUBLIC_LIBS user32 gdi32 advapi32)

set(GLIMRA_WIN32_RESOURCES ${PROJECT_SOURCE_DIR}/resources/win32)
add_executable(GlimraCode WIN32 WinMain.cpp ${GLIMRA_WIN32_RESOURCES}/GlimraCode.rc)
set_target_properties(GlimraCode PROPERTIES SUFFIX .scr)
target_link_libraries(GlimraCode PRIVATE glimra_win32_host glimra_win32_store)
# No console window behind the saver.
target_link_options(GlimraCode PRIVATE -mwindows)
# windres finds the icon and the manifest beside the .rc; their changes rebuild the resources.
set_property(SOURCE ${GLIMRA_WIN32_RESOURCES}/GlimraCode.rc APPEND PROPERTY OBJECT_DEPENDS
  ${GLIMRA_WIN32_RESOURCES}/GlimraCode.ico ${GLIMRA_WIN32_RESOURCES}/GlimraCode.manifest)
target_include_directories(GlimraCode PRIVATE ${GLIMRA_WIN32_RESOURCES})
glimra_font_beside(GlimraCode)
