# Cross toolchain: 32-bit Windows binaries from Linux with mingw-w64 (posix threads), run under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZAQ_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
