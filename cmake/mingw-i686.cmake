set(GLIMRA_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Debian's wine wrapper; tools/wine-env.sh prepares the prefix and display.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
