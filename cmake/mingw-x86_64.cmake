set(GLIMRA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Debian's wine wrapper picks the 32-bit loader; the 64-bit one is called directly.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
