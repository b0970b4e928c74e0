# Sourced by the other scripts: the Wine environment of one build tree.
# usage: . scripts/wine-env.sh <build-dir>
QUELLOR_BUILD=$(cd "$1" && pwd)
export WINEPREFIX="$QUELLOR_BUILD/wineprefix"
export WINEDEBUG=-all
# No Mono/Gecko installs, no menu entries in $HOME, and no debugger: with winedbg
# enabled a crashing program can exit 0.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe,winedbg.exe=d"
# The 32-bit test machine has only 32-bit Wine: it sets QUELLOR_WINEARCH=win32.
export WINEARCH=${QUELLOR_WINEARCH:-win64}
