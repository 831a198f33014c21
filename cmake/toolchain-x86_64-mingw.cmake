# 64-bit Windows: the same sources, built and tested beside the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLO_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
