# Cross-compiles for 32-bit Windows; the programs run in a 32-bit Wine prefix.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORB_TRIPLE i686-w64-mingw32)
set(ORB_WINE_ARCH_SWITCH)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
