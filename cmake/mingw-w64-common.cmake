# Shared part of the mingw-w64 toolchain files; they set TOOLCHAIN_PREFIX first.
# The program and its tools are built by the win32 thread-model compilers: the
# posix ones link winpthreads, which imports functions that Windows before
# Vista lacks. Only GoogleTest needs std::mutex, so the test programs switch to
# the posix twins (cmake/posix-thread-model.sh, set in tests/).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
