# The idle watcher of Linux sessions (glimracode --idle, --autostart): it learns idleness from GNOME's
# idle monitor on the session bus, from a Wayland idle protocol or from the X11 screen saver
# extension, whichever the session offers, and links GLib and GIO for its loop and the bus.
find_package(PkgConfig REQUIRED)
find_package(X11 REQUIRED)
if(NOT TARGET X11::Xss)
  message(FATAL_ERROR "the idle watcher needs libXss; install libxss-dev")
endif()
pkg_check_modules(IDLE_GIO REQUIRED IMPORTED_TARGET gio-2.0 gio-unix-2.0)
pkg_check_modules(IDLE_WAYLAND REQUIRED IMPORTED_TARGET wayland-client)
pkg_check_modules(IDLE_WAYLAND_PROTOCOLS REQUIRED wayland-protocols)
pkg_get_variable(IDLE_PROTOCOLS_DIR wayland-protocols pkgdatadir)
pkg_get_variable(IDLE_SCANNER wayland-scanner wayland_scanner)
find_package(PlasmaWaylandProtocols REQUIRED)
if(NOT IDLE_SCANNER)
  message(FATAL_ERROR "the idle watcher needs wayland-scanner; install libwayland-bin")
endif()

set(idle_generated ${CMAKE_CURRENT_BINARY_DIR}/idle-protocols)
glimra_wayland_protocols(idle_protocol_sources ${IDLE_SCANNER} ${idle_generated}
  ${IDLE_PROTOCOLS_DIR}/staging/ext-idle-notify/ext-idle-notify-v1.xml
  ${PLASMA_WAYLAND_PROTOCOLS_DIR}/idle.xml)

glimra_library(glimra_idle
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/IdleMode.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IdleWatcher.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IdleSourceMutter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IdleSourceWayland.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IdleSourceX11.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Autostart.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DesktopEntryExec.cpp
    ${idle_protocol_sources}
  DEPS glimra_linux glimra_posix_store glimra_posix_glyphs glimra_posix_options
  PUBLIC_LIBS PkgConfig::IDLE_GIO PkgConfig::IDLE_WAYLAND X11::X11 X11::Xss)
target_include_directories(glimra_idle PRIVATE ${idle_generated})
