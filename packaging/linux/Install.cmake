# What `cmake --install` puts where, and the Debian package CPack makes from that installation.
#
# Screen-saver daemons run hacks from their own folder (<prefix>/libexec/xscreensaver on Debian),
# and each program loads GlimraCode.TTF from the folder its executable really lives in: the kernel
# resolves symbolic links before the program asks. So both programs live together in
# <prefix>/libexec/glimracode beside a link to the one copy of the font in the package's data
# folder, and the names people and daemons use are links to them.
if(WIN32 OR CMAKE_CROSSCOMPILING OR NOT TARGET glimracode OR NOT TARGET glimracode-gtk OR NOT TARGET glimracode-render)
  return()
endif()
include(GNUInstallDirs)

set(GLIMRA_PACKAGE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(GLIMRA_PROGRAM_DIR ${CMAKE_INSTALL_LIBEXECDIR}/glimracode)
set(GLIMRA_HACK_DIR ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
set(GLIMRA_DATA_DIR ${CMAKE_INSTALL_DATADIR}/glimracode)
set(GLIMRA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/glimracode)
set(GLIMRA_STAGE ${CMAKE_BINARY_DIR}/packaging)

# glimra_install_link(FOLDER NAME TARGET): a relative link FOLDER/NAME -> TARGET, both under the
# prefix, so that the installed tree still works when it is moved (or unpacked by dpkg -x).
function(glimra_install_link folder name target)
  cmake_path(RELATIVE_PATH target BASE_DIRECTORY ${folder} OUTPUT_VARIABLE relative)
  set(link ${GLIMRA_STAGE}/links/${folder}/${name})
  get_filename_component(parent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${relative} ${link} SYMBOLIC)
  install(FILES ${link} DESTINATION ${folder})
endfunction()

install(TARGETS glimracode glimracode-gtk glimracode-render RUNTIME DESTINATION ${GLIMRA_PROGRAM_DIR})
install(FILES ${GLIMRA_FONT_FILE} DESTINATION ${GLIMRA_DATA_DIR})
glimra_install_link(${GLIMRA_PROGRAM_DIR} GlimraCode.TTF ${GLIMRA_DATA_DIR}/GlimraCode.TTF)
glimra_install_link(${GLIMRA_HACK_DIR} glimracode ${GLIMRA_PROGRAM_DIR}/glimracode)
glimra_install_link(${CMAKE_INSTALL_BINDIR} glimracode-render ${GLIMRA_PROGRAM_DIR}/glimracode-render)

# XScreenSaver's settings program lists a hack when it finds its description here. Its settings
# panel is made from the settings table when the programs are built.
add_executable(glimra-describe-settings ${GLIMRA_PACKAGE_DIR}/DescribeSettings.cpp)
target_link_libraries(glimra-describe-settings PRIVATE glimra_settings)
set(GLIMRA_DESCRIPTION ${CMAKE_BINARY_DIR}/glimracode.xml)
add_custom_command(OUTPUT ${GLIMRA_DESCRIPTION}
  COMMAND glimra-describe-settings ${GLIMRA_DESCRIPTION}
  DEPENDS glimra-describe-settings
  COMMENT "Describing the settings panel for XScreenSaver")
add_custom_target(glimracode_description ALL DEPENDS ${GLIMRA_DESCRIPTION})
install(FILES ${GLIMRA_DESCRIPTION} DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)

# Debian wants manual pages and changelogs compressed, without a time stamp in the header.
find_program(GLIMRA_GZIP gzip REQUIRED)
set(GLIMRA_COMPRESSED)
foreach(source man/glimracode.6 man/glimracode-render.6 changelog)
  get_filename_component(name ${source} NAME)
  set(output ${GLIMRA_STAGE}/${name}.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND ${GLIMRA_GZIP} -9n -c ${GLIMRA_PACKAGE_DIR}/${source} > ${output}
    DEPENDS ${GLIMRA_PACKAGE_DIR}/${source})
  list(APPEND GLIMRA_COMPRESSED ${output})
endforeach()
add_custom_target(glimra_packaging_files ALL DEPENDS ${GLIMRA_COMPRESSED})
install(FILES ${GLIMRA_STAGE}/glimracode.6.gz ${GLIMRA_STAGE}/glimracode-render.6.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
# The font's licence asks that its full text, and the means to rebuild the font, travel with it.
set(GLIMRA_FONT_SOURCE_DIR ${PROJECT_SOURCE_DIR}/resources/font)
file(READ ${GLIMRA_PACKAGE_DIR}/copyright.in GLIMRA_COPYRIGHT)
file(READ ${GLIMRA_FONT_SOURCE_DIR}/LICENSE.txt GLIMRA_FONT_LICENCE)
file(WRITE ${GLIMRA_STAGE}/copyright "${GLIMRA_COPYRIGHT}${GLIMRA_FONT_LICENCE}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${GLIMRA_PACKAGE_DIR}/copyright.in ${GLIMRA_FONT_SOURCE_DIR}/LICENSE.txt)
install(FILES ${GLIMRA_STAGE}/changelog.gz ${GLIMRA_STAGE}/copyright DESTINATION ${GLIMRA_DOC_DIR})
install(FILES ${GLIMRA_FONT_SOURCE_DIR}/README.md ${GLIMRA_FONT_SOURCE_DIR}/build-font.py
  DESTINATION ${GLIMRA_DOC_DIR}/font)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME glimracode)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "GlimraCode maintainers <maintainers@users.noreply.c-seed-9ab36b3a.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "glyph-rain screen saver for X11 and Wayland")
# CPack puts the summary first and indents every line itself; an empty line becomes " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "GlimraCode fills the screen with columns of glyphs that grow downwards and
fade from a bright colour to a dark one, while glyphs flicker and morph in
place and sweepers wipe columns black.

The package holds the saver as an XScreenSaver hack (with the description
that lets the settings program list and preview it) and glimracode-render,
which draws the animation off screen into PNG frames. On Wayland the saver
covers every output; an idle daemon such as swayidle starts it.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver, swayidle")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_SET_DESTDIR OFF)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
