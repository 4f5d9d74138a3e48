#!/usr/bin/env bash
# Installs a build into a temporary prefix, then builds the consumer against
# it through pkg-config and through the CMake package and runs both, and
# runs the installed intl with nothing but its built-in data directory.
# usage: check.sh BUILD_DIR; INSTALL_CHECK_CFLAGS and INSTALL_CHECK_RUN (an
# emulator) come from the build's configuration.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
cflags=${INSTALL_CHECK_CFLAGS:-}
run=${INSTALL_CHECK_RUN:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
pcfile=$(find "$prefix" -name intl_r.pc)
libdir=$(cd "$(dirname "$pcfile")/.." && pwd)
data=$prefix/share/intl_r

soname=$(readlink "$libdir/libintl_r.so")
[[ -L "$libdir/$soname" && -f "$libdir/$(readlink "$libdir/$soname")" ]] ||
    { echo "check.sh: missing SONAME links in $libdir" >&2; exit 1; }
[[ -f "$prefix/include/intl.h" && -d "$data/charsets" ]] ||
    { echo "check.sh: header or data directory missing" >&2; exit 1; }

# pkg-config; the consumers load a table through the data directory that
# the package names, with no KORVAN (or user korvan) to fall back on.
unset KORVAN
export PKG_CONFIG_PATH=$(dirname "$pcfile")
datadir=$(pkg-config --variable=datadir intl_r)
[[ $(realpath "$datadir") == "$(realpath "$data")" ]] ||
    { echo "check.sh: pkg-config names $datadir, not $data" >&2; exit 1; }
# shellcheck disable=SC2046,SC2086
cc $cflags -std=c99 -Wall -Werror "$here/consumer.c" $(pkg-config --cflags --libs intl_r) \
    -DINTL_R_DATADIR="\"$datadir\"" -Wl,-rpath,"$libdir" -o "$tmp/consumer-pkgconfig"
$run "$tmp/consumer-pkgconfig"

# CMake package
cmake -S "$here" -B "$tmp/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_C_FLAGS="$cflags" >/dev/null
cmake --build "$tmp/cmake" >/dev/null
$run "$tmp/cmake/consumer"

# The installed tool finds the installed data on its own, passing over a
# KORVAN without tables (which also keeps any user korvan out of it).
if [[ -x "$prefix/bin/intl" ]]; then
    mkdir "$tmp/no-tables"
    out=$(printf 'caf\xe9' | KORVAN=$tmp/no-tables $run "$prefix/bin/intl" \
        xlate --charset UTF-8 --table ISO-8859-1)
    [[ "$out" == "café" ]] || { echo "check.sh: installed intl gave '$out'" >&2; exit 1; }
fi
echo "installed to a temporary prefix; pkg-config, CMake package and intl all work"
