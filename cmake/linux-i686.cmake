# A native 32-bit Linux build (-m32), for the portable core's tests and the renderer. It evaluates
# doubles as the i686 Windows build does (x87), so a picture that depends on how a compiler evaluates
# floating point shows up here too. Where the kernel refuses 32-bit programs, pass
# -DCMAKE_CROSSCOMPILING_EMULATOR=qemu-i386 (tools/test.sh decides).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(GLIMRA_PORTABLE_ONLY ON CACHE BOOL "" FORCE)
