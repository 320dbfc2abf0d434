#!/usr/bin/env bash
# Installs the build into a temporary prefix, builds a small host there with
# pkg-config and with find_package(IMR), runs it, the installed command and
# the installed Python package on a real file, and checks that nothing
# installed points anywhere but at the prefix.
#   install_test.sh BUILD_DIR SOURCE_DIR C_COMPILER "SANITIZER_FLAGS" PYTHON PYTHON_DIR [PRELOAD]
set -euo pipefail
build=$1 source=$2 cc=$3 flags=$4 python=$5 python_dir=$6 preload=${7:-}
file=$source/tests/data/corpus/exiftool/PNG.png
expected="PNG image/png 16x16"
unset IMR_PLUGIN_PATH IMR_CONFIG
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "install_test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for installed in share/man/man1/imr.1 share/bash-completion/completions/imr; do
  [ -f "$prefix/$installed" ] || fail "$installed is not installed"
done
configured=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
if grep -rlF -e "$configured/" -e "$build" "$prefix"/lib*/pkgconfig "$prefix"/lib*/cmake; then
  fail "the files above name $configured or the build folder"
fi

# pkg-config
pc_dir=$(dirname "$(find "$prefix" -name imr.pc)")
export PKG_CONFIG_PATH=$pc_dir
[ "$(realpath "$(pkg-config --variable=prefix imr)")" = "$(realpath "$prefix")" ] ||
  fail "imr.pc names the prefix $(pkg-config --variable=prefix imr)"
# shellcheck disable=SC2086,SC2046
"$cc" $flags "$source/tests/install/host/host.c" -o "$work/host_pc" $(pkg-config --cflags --libs imr) \
  -Wl,-rpath,"$(pkg-config --variable=libdir imr)"
[ "$("$work/host_pc" "$file")" = "$expected" ] || fail "the pkg-config host printed something else"

# find_package(IMR)
cmake -S "$source/tests/install/host" -B "$work/host" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$flags" >/dev/null
grep -q "^IMR_DIR:PATH=$prefix/" "$work/host/CMakeCache.txt" || fail "find_package(IMR) found another IMR"
cmake --build "$work/host" >/dev/null
[ "$("$work/host/host" "$file")" = "$expected" ] || fail "the find_package host printed something else"

# The installed command and Python package find their libraries and modules.
"$prefix/bin/imr" identify --no-cache "$file" | grep -qF "PNG (image/png)" || fail "the installed imr"
found=$(cd "$work" && PYTHONPATH="$prefix/$python_dir" LD_PRELOAD="$preload" ASAN_OPTIONS=detect_leaks=0 \
  "$python" -c 'import imr, sys; print(imr.__file__); print(imr.Detector(cache=False).identify(sys.argv[1])["images"][0]["mime"])' "$file")
[ "$found" = "$prefix/$python_dir/imr/__init__.py
image/png" ] || fail "the installed Python package: $found"
echo "1 passed, 0 failed"
