# The settings dialog of the Windows programs, TGlimraOpts, and its template in GlimraCode.scr.
glimra_library(glimra_win32_dialog
  SOURCES OptionsDialog.cpp OptionsDialogPages.cpp
  DEPS glimra_settings glimra_shell
  PUBLIC_LIBS user32 gdi32 comctl32 comdlg32)
target_include_directories(glimra_win32_dialog PRIVATE ${PROJECT_SOURCE_DIR}/resources/win32)
# The program host runs the dialog in settings mode.
target_link_libraries(glimra_win32_host PUBLIC glimra_win32_dialog)

set(GLIMRA_DIALOG_RESOURCES ${PROJECT_SOURCE_DIR}/resources/win32/GlimraOptions.rc)
set_property(SOURCE ${GLIMRA_DIALOG_RESOURCES} APPEND PROPERTY OBJECT_DEPENDS
  ${PROJECT_SOURCE_DIR}/resources/win32/resource.h)
target_sources(GlimraCode PRIVATE ${GLIMRA_DIALOG_RESOURCES})
target_link_libraries(GlimraCode PRIVATE glimra_win32_dialog comctl32 comdlg32)
