# Sourced by the other scripts: the Wine environment of one build tree.
# usage: . scripts/wine-env.sh <build-dir>
QUELLOR_BUILD=$(cd "$1" && pwd)
export WINEPREFIX="$QUELLOR_BUILD/wineprefix"
export WINEDEBUG=-all
# No Mono/Gecko installs, no menu entries in $HOME, and no debugger: with winedbg
# enabled a crashing program can exit 0.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe,winedbg.exe=d"
# The 32-bit test machine sets QUELLOR_WINEARCH=win32 for its 32-bit prefixes
# (its 64-bit ones, like the host's, are win64).
export WINEARCH=${QUELLOR_WINEARCH:-win64}
