# Cross build for 32-bit Windows: the file the 9x family, NT 4.0, 2000 and XP
# run (no 32-bit code runs here: the 32-bit test machine runs it, and the
# import and instruction gates check the built file).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
