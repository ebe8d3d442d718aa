# What `cmake --install` puts where, and the Debian package CPack makes from that installation.
#
# Screen-saver daemons run hacks from their own folder (<prefix>/libexec/xscreensaver on Debian),
# people and idle daemons such as swayidle find commands on the PATH, and each program loads
# GlimraCode.TTF from the folder its executable really lives in: the kernel resolves symbolic links
# before the program asks. So both programs live together in <prefix>/libexec/glimracode beside a
# link to the one copy of the font in the package's data folder, and the names people and daemons
# use (<prefix>/bin and the hack folder) are links to them.
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
glimra_install_link(${CMAKE_INSTALL_BINDIR} glimracode ${GLIMRA_PROGRAM_DIR}/glimracode)
glimra_install_link(${CMAKE_INSTALL_BINDIR} glimracode-render ${GLIMRA_PROGRAM_DIR}/glimracode-render)

# The desktop's menus list the settings dialog through its entry, with the Windows icon's own
# pictures in the hicolor theme that every desktop falls back to.
install(FILES ${GLIMRA_PACKAGE_DIR}/glimracode.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
add_executable(glimra-icon-pngs ${GLIMRA_PACKAGE_DIR}/IconPngs.cpp)
target_link_libraries(glimra-icon-pngs PRIVATE glimra_headless)
set(GLIMRA_ICON ${PROJECT_SOURCE_DIR}/resources/win32/GlimraCode.ico)
set(GLIMRA_ICON_ARGUMENTS)
set(GLIMRA_ICON_PNGS)
foreach(size 16 32 48)
  set(png ${GLIMRA_STAGE}/icons/${size}x${size}/glimracode.png)
  file(MAKE_DIRECTORY ${GLIMRA_STAGE}/icons/${size}x${size})
  list(APPEND GLIMRA_ICON_ARGUMENTS ${size} ${png})
  list(APPEND GLIMRA_ICON_PNGS ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_command(OUTPUT ${GLIMRA_ICON_PNGS}
  COMMAND glimra-icon-pngs ${GLIMRA_ICON} ${GLIMRA_ICON_ARGUMENTS}
  DEPENDS glimra-icon-pngs ${GLIMRA_ICON}
  COMMENT "Writing the icon's pictures for the hicolor theme")
add_custom_target(glimracode_icons ALL DEPENDS ${GLIMRA_ICON_PNGS})

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

# The manual pages carry the date of the release they describe: the date of the changelog's newest
# entry, whose trailer line reads " -- NAME <MAIL>  Www, DD Mmm YYYY HH:MM:SS +ZZZZ".
file(READ ${GLIMRA_PACKAGE_DIR}/changelog GLIMRA_CHANGELOG)
if(NOT GLIMRA_CHANGELOG MATCHES "\n -- [^\n]*>  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "packaging/linux/changelog: the newest entry has no trailer line with a date")
endif()
set(GLIMRA_MONTHS Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND GLIMRA_MONTHS ${CMAKE_MATCH_2} month)
if(month LESS 0)
  message(FATAL_ERROR "packaging/linux/changelog: '${CMAKE_MATCH_2}' is not a month")
endif()
math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
string(LENGTH "${month}" digits)
if(digits EQUAL 1)
  set(month 0${month})
endif()
set(GLIMRA_RELEASE_DATE ${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${GLIMRA_PACKAGE_DIR}/changelog)
foreach(page glimracode.6 glimracode-render.6)
  configure_file(${GLIMRA_PACKAGE_DIR}/man/${page} ${GLIMRA_STAGE}/${page} @ONLY)
endforeach()

# Debian wants manual pages and changelogs compressed, without a time stamp in the header.
find_program(GLIMRA_GZIP gzip REQUIRED)
set(GLIMRA_COMPRESSED)
foreach(source ${GLIMRA_STAGE}/glimracode.6 ${GLIMRA_STAGE}/glimracode-render.6 ${GLIMRA_PACKAGE_DIR}/changelog)
  get_filename_component(name ${source} NAME)
  set(output ${GLIMRA_STAGE}/${name}.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND ${GLIMRA_GZIP} -9n -c ${source} > ${output}
    DEPENDS ${source})
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
