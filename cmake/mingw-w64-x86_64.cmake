# Cross-building the Windows x64 plug-in on Debian with mingw-w64 (the POSIX
# thread model, for std::thread and std::mutex). Programs built here run
# through Wine, so ctest and test discovery can start them.
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

# Debian keeps the 64-bit loader outside PATH.
find_program(ZELTO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ZELTO_WINE)
  find_program(ZELTO_WINE NAMES wine64 wine)
endif()
if(ZELTO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZELTO_WINE})
endif()
