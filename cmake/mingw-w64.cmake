# Cross-compiles the Windows build with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests of the cross-build run as Windows programs under wine. Debian's
# wine64 package has no `wine` command of its own, only its loader.
find_program(GLOSSMILL_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT GLOSSMILL_WINE)
  find_program(GLOSSMILL_WINE NAMES wine wine64)
endif()
if(GLOSSMILL_WINE)
  # wine's own diagnostics would mix into what the tests check; a new wine
  # prefix is made without asking for the .NET and HTML engines.
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ${GLOSSMILL_WINE})
endif()
