# Shared part of the mingw-w64 cross toolchains (posix thread model: the win32
# model has no std::thread and GoogleTest needs it). Set QUILLO_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QUILLO_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLO_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLO_TRIPLE}-windres)
set(QUILLO_WINDMC ${QUILLO_TRIPLE}-windmc)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLO_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests run under Wine through the wrapper that selects the build tree's prefix.
# CACHE so that a -D on the command line does not silently override it.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run
    CACHE FILEPATH "Runs a Windows test program under the build tree's Wine prefix")
