# The shared part of the MinGW toolchain files; they set SHEETPACK_MINGW_TRIPLE and
# SHEETPACK_ARCH first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: GoogleTest and std::thread need it.
set(CMAKE_C_COMPILER ${SHEETPACK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SHEETPACK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SHEETPACK_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SHEETPACK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Everything is linked statically: a packaged application must not need MinGW's runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
