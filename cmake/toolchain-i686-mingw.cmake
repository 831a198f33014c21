# 32-bit Windows (the product's first target).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUILLO_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
