# 64-bit Windows (x86_64), the same code, for running the tests under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
