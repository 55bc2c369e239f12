#!/bin/sh
# Installs the build into a scratch prefix, builds a C host against it with
# pkg-config, and runs the host against the fixture site.
#   install_test.sh BUILD_DIR FIXTURE_SITE SOURCE_DIR
set -eu
build=$1 fixture=$2 source=$3
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage" >/dev/null
pc=$(find "$stage" -name brelk.pc)
libdir=$(dirname "$(dirname "$pc")")
test -x "$stage/bin/brelk-resolve"
test -f "$stage/include/brelk.h"
test -L "$libdir/libbrelk.so"
readelf -d "$libdir/libbrelk.so" | grep -q 'SONAME.*libbrelk.so.1'
PKG_CONFIG_PATH=$(dirname "$pc") cc -std=c99 -Wall -Werror -o "$stage/host" "$source/tests/entry/host.c" \
  $(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs brelk) -Wl,-rpath,"$libdir"
got=$("$fixture" "$stage/host" http://1000eb.com/f/4096 http://1000eb.com/f/9 2>/dev/null) || {
  status=$?
  exit $status  # 77: no private network here; CTest reports it as skipped
}
want="http://dl3.1000eb.com/d/4096/%E4%B8%AD%E6%96%87.zip?k=7f3a
(null)"
if [ "$got" != "$want" ]; then
  printf 'host printed:\n%s\nwanted:\n%s\n' "$got" "$want" >&2
  exit 1
fi
echo "installed library, header, pkg-config file and tool work for a C host"
