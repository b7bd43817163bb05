# Cross toolchain: 64-bit Windows binaries of the same sources, run under 64-bit Wine on machines
# whose kernel cannot run 32-bit programs. The host contract stays 32-bit words: see CMakeLists.txt.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZAQ_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# /usr/bin/wine picks the 32-bit loader whenever it is installed, even where it cannot run.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine64/wine)
