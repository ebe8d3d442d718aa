# Shared by the MinGW-w64 toolchain files. The -posix compilers are the ones whose libstdc++ has
# std::mutex and std::thread (GoogleTest needs them); everything is linked statically so that the
# executables need no DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${GLIMRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GLIMRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${GLIMRA_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${GLIMRA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
