# Shared settings of the scripts; sourced, not run.
ZEVA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ZEVA_ROOT
export ZEVA_THIRD_PARTY="${ZEVA_THIRD_PARTY:-$ZEVA_ROOT/third_party}"
export WINEPREFIX="${WINEPREFIX:-$HOME/.local/share/zeva/wine}"
# This kernel runs no 32-bit binaries, so 32-bit Wine cannot start here: the Windows tests
# run as 64-bit programs under the 64-bit loader (the shipped client stays 32-bit).
export WINEARCH="${WINEARCH:-win64}"
export ZEVA_WINE=/usr/lib/wine/wine64
export ZEVA_WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG="${WINEDEBUG:--all}"
