# Cross-compiling for 64-bit Windows with Debian's MinGW-w64. The -posix compilers, because
# the -win32 ones have no std::thread. Everything is linked statically so that the programs
# run under wine (and on a bare Windows) without looking for MinGW's DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run at build time (test discovery) and under ctest through wine.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(QUENFALL_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(QUENFALL_WINE64 wine64)
  if(QUENFALL_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${QUENFALL_WINE64}")
  endif()
endif()
