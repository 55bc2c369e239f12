# Cross-build for Windows with mingw-w64, for the processor the including
# toolchain file names (CMAKE_SYSTEM_PROCESSOR). The -posix compilers use the
# winpthreads threading model, which std::mutex and std::thread need.
set(CMAKE_SYSTEM_NAME Windows)

set(BRELK_MINGW_TRIPLE ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${BRELK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRELK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BRELK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRELK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
