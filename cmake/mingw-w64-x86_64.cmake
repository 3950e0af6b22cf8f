# Cross-compiling for 64-bit Windows with Debian's MinGW-w64, posix thread model (std::thread
# needs it). Test programs run under Wine, which also lets GoogleTest list their tests at build
# time:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DQUILLFEN_QT=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLFEN_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLFEN_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLFEN_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLFEN_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLFEN_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry libgcc, libstdc++ and winpthread, so that they start without DLLs beside
# them.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

find_program(QUILLFEN_WINE NAMES wine wine64)
if(QUILLFEN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLFEN_WINE})
endif()
