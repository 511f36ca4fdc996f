# Cross-compiles the plug-in for 64-bit Windows (64-bit browsers); the programs run in a
# 64-bit Wine prefix. Renderers stay 32-bit and come from the i686 tree.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORB_TRIPLE x86_64-w64-mingw32)
set(ORB_WINE_ARCH_SWITCH --win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
