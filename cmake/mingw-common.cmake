# What both Windows targets share: Debian's mingw-w64 toolchain for ORB_TRIPLE (posix
# threads, so std::mutex and std::thread exist), with the results run under Wine.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ORB_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORB_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORB_TRIPLE}-windres)
set(CMAKE_AR ${ORB_TRIPLE}-gcc-ar-posix)
set(CMAKE_RANLIB ${ORB_TRIPLE}-gcc-ranlib-posix)

set(CMAKE_FIND_ROOT_PATH /usr/${ORB_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Every test and helper program built here runs through this wrapper, which picks the
# build tree's private Wine prefix of the target's width.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${ORB_WINE_ARCH_SWITCH})
