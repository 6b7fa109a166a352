# 64-bit Windows: the same sources, built only to run the Windows-side tests
# under Wine on machines that can't execute 32-bit code. Debian's
# g++-mingw-w64-x86-64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
