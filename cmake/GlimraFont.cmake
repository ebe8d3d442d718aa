# glimra_font_beside(TARGET)
# Copies the bundled glyph font next to TARGET's executable after every link. The programs look for
# it in their own folder, never in the current directory, so a test that needs the real font and
# every program that ships gets its own copy. The font is a link dependency, so a rebuilt font
# relinks the target and is copied again.
set(GLIMRA_FONT_FILE ${CMAKE_CURRENT_LIST_DIR}/../resources/font/GlimraCode.TTF)
cmake_path(NORMAL_PATH GLIMRA_FONT_FILE)

function(glimra_font_beside target)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${GLIMRA_FONT_FILE})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${GLIMRA_FONT_FILE} $<TARGET_FILE_DIR:${target}>/GlimraCode.TTF
    VERBATIM)
endfunction()
