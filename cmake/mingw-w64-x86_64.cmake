# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads), linked statically.
# cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DKELVAD_TESTS=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELVAD_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELVAD_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVAD_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVAD_MINGW_TRIPLE}-windres)

# Look for libraries and headers of the target only; programs are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${KELVAD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe that needs no DLL beside it (no libstdc++, libgcc or winpthread DLLs). CRT_noglob.o
# keeps the run-time library from expanding wildcards in the arguments: a word like "*.qsm"
# arrives as it was typed, as it does on Linux.
set(CMAKE_EXE_LINKER_FLAGS_INIT
  "-static -static-libgcc -static-libstdc++ /usr/${KELVAD_MINGW_TRIPLE}/lib/CRT_noglob.o")

