# Cross-build for 64-bit Windows with Debian's MinGW-w64 (the POSIX-thread
# variant, for std::thread and std::mutex). Everything is linked statically,
# so the executables import only Windows' own system DLLs.
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTREL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTREL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libstdc++, libgcc and winpthread go into the executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
