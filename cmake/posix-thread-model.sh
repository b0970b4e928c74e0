#!/bin/sh
# Compiler and linker launcher for the test programs: runs the posix
# thread-model twin of the win32 mingw-w64 driver CMake hands it, because
# GoogleTest needs std::mutex. Any other command runs unchanged.
tool=$1
shift
case "$tool" in
  *-win32) exec "${tool%-win32}-posix" "$@" ;;
  *) exec "$tool" "$@" ;;
esac
