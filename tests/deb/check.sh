#!/usr/bin/env bash
# Builds the Debian packages, installs them into this machine, builds the
# install consumer against them through pkg-config and through the CMake
# package and runs both, runs the installed intl with nothing set, reads
# its manual page, and removes the packages again, whatever step fails.
# Runs as root (dpkg -i); refuses if any of the packages is there already.
set -euo pipefail
cd "$(dirname "$0")/../.."
packages=(libintl-r-data libintl-r1 libintl-r-dev intl-r-tools)
fail() { echo "deb check: $*" >&2; exit 1; }

((EUID == 0)) || fail "needs root to install the packages"
for p in "${packages[@]}"; do
    [[ $(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null) =~ ^(not-installed)?$ ]] ||
        fail "$p is on this machine already; remove it first"
done
make deb
tmp=$(mktemp -d)
trap 'dpkg --purge "${packages[@]}" >/dev/null; rm -rf "$tmp"' EXIT
# shellcheck disable=SC2046
dpkg -i $(printf 'build/deb/%s_*.deb ' "${packages[@]}") >/dev/null

# The data directory is its own package, for every architecture.
dpkg-deb -f build/deb/libintl-r-data_*.deb Architecture Multi-Arch | tr '\n' ' ' |
    grep -qx 'Architecture: all Multi-Arch: foreign ' || fail "libintl-r-data is not arch all, foreign"
dpkg-query -W -f='${Depends}' libintl-r1 | grep -q 'libintl-r-data' ||
    fail "libintl-r1 does not depend on libintl-r-data"

# Only what the packages put in the system's places may be found: the
# consumers load a table through the data directory the packages name.
unset KORVAN PKG_CONFIG_PATH CMAKE_PREFIX_PATH LD_LIBRARY_PATH
data=/usr/share/intl_r
[[ $(pkg-config --variable=datadir intl_r) == "$data" ]] ||
    fail "pkg-config --variable=datadir intl_r is not $data"
# shellcheck disable=SC2046
cc -std=c99 -Wall -Werror tests/install/consumer.c $(pkg-config --cflags --libs intl_r) \
    -DINTL_R_DATADIR="\"$(pkg-config --variable=datadir intl_r)\"" -o "$tmp/consumer-pkgconfig"
"$tmp/consumer-pkgconfig"
cmake -S tests/install -B "$tmp/cmake" -G Ninja >/dev/null
cmake --build "$tmp/cmake" >/dev/null
"$tmp/cmake/consumer"

# The installed tool takes the installed tables on its own, unless a user
# korvan offers a data directory of its own first.
home=()
korvan=$(getent passwd korvan | cut -d: -f6) || true
[[ -n "$korvan" && -d "$korvan/charsets" ]] && home=(--home "$data")
sample=$data/samples/latin.ISO-8859-1.txt
[[ $(command -v intl) == /usr/bin/intl ]] || fail "intl is not /usr/bin/intl"
intl xlate "${home[@]}" --charset UTF-8 --table ISO-8859-1 "$sample" > "$tmp/out"
iconv -f ISO-8859-1 -t UTF-8 "$sample" | cmp - "$tmp/out" || fail "intl xlate gave the wrong text"

# The manual pages read without a warning, and intl(1) names every
# subcommand and every long option it has.
for page in intl intl-files; do
    warnings=$(man --warnings "$page" 2>&1 >/dev/null) || fail "man $page failed"
    [[ -z "$warnings" ]] || fail "man $page: $warnings"
done
page=$(MANWIDTH=200 man intl 2>/dev/null) || fail "man intl failed"
subcommands=$(intl --help | sed -n '/^Subcommands:/,$s/^  \([a-z]*\) .*/\1/p')
for sub in '' $subcommands; do
    # shellcheck disable=SC2086
    for word in $sub $(intl $sub --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
        grep -qF -- "$word" <<<"$page" || fail "intl(1) does not mention '$word' of 'intl $sub'"
    done
done
echo "deb check: ${packages[*]} installed; pkg-config and CMake consumers, intl and intl(1) work"
