#!/bin/sh
# Installs the build tree into a scratch prefix and builds a small C program
# against it twice: through the CMake package and through pkg-config.
# Arguments: build dir, source dir, scratch dir.
set -eu
build=$1 src=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
libdir=$(ls -d "$work"/prefix/lib*/ | head -n1)
test -L "$libdir/liborvu_kex_c5h1.so" || { echo "no versioned library link"; exit 1; }
readelf -d "$libdir/liborvu_kex_c5h1.so" | grep -q 'SONAME.*liborvu_kex_c5h1.so.0' || { echo "no SONAME"; exit 1; }

# Same compiler settings as the build (the 32-bit build has a toolchain file).
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
cflags=$(cache CMAKE_C_FLAGS)
toolchain=$(cache CMAKE_TOOLCHAIN_FILE)
emu=$(cache CMAKE_CROSSCOMPILING_EMULATOR)
cmake -S "$src/tests/install/consumer" -B "$work/cm" -DCMAKE_PREFIX_PATH="$work/prefix" \
      ${toolchain:+-DCMAKE_TOOLCHAIN_FILE="$toolchain"} >/dev/null
cmake --build "$work/cm" >/dev/null
LD_LIBRARY_PATH="$libdir" $emu "$work/cm/consumer"

PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --exists orvu
# shellcheck disable=SC2046
cc $cflags -o "$work/pc_consumer" "$src/tests/install/consumer/main.c" \
   $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs orvu)
LD_LIBRARY_PATH="$libdir" $emu "$work/pc_consumer"
