# Cross toolchain: 64-bit Windows with mingw-w64, the twin build for Windows
# without 32-bit support and for hosts whose Wine runs no 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
