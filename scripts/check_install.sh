#!/usr/bin/env bash
# Checks the installed form: installs the build into a temporary prefix, then
# checks that the public headers (and no internal one) are there, that both
# libraries carry their versioned names, and builds and runs the C host
# program tests/packaging/host.c against the install twice: through
# pkg-config and through CMake's find_package.
# Usage: check_install.sh BUILD_DIR SOURCE_ROOT CMAKE C_COMPILER [HOST_FLAG...]
# HOST_FLAGs go to the host's compile and link (the sanitizer flags of a
# sanitized build, whose libraries need the host to load the runtime).
set -euo pipefail
build="$1"
root="$2"
cmake="$3"
cc="$4"
shift 4
flags=("$@")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
status=0

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log"

# The header rule of scripts/check_headers.sh, compared file for file.
(cd "$root" && find base db server platform mox -name '*.h' ! -name '*_internal.h' | sort) \
    >"$work/expected"
(cd "$prefix/include/zelinfsrvr81" && find . -type f | sed 's|^\./||' | sort) >"$work/installed"
if ! diff -u "$work/expected" "$work/installed"; then
    echo "installed headers differ from the public headers of the source folders"
    status=1
fi

export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name zelinfsrvr81.pc)")
version=$(pkg-config --modversion zelinfsrvr81)
libdir=$(pkg-config --variable=libdir zelinfsrvr81)
major="${version%%.*}"
for lib in zelinfsrvr81 mox81; do
    file="$libdir/lib$lib.so.$version"
    soname=$(objdump -p "$file" 2>/dev/null | awk '$1 == "SONAME" {print $2}')
    if [ "$soname" != "lib$lib.so.$major" ] || [ ! -L "$libdir/lib$lib.so" ] ||
        [ ! -L "$libdir/lib$lib.so.$major" ]; then
        echo "lib$lib: expected $file with SONAME lib$lib.so.$major and its links"
        status=1
    fi
done

# Through pkg-config.
read -ra pc_flags <<<"$(pkg-config --cflags --libs zelinfsrvr81 mox81)"
if "$cc" -std=c11 -Wall -Wextra -Werror "${flags[@]}" "$root/tests/packaging/host.c" \
    "${pc_flags[@]}" -Wl,-rpath,"$libdir" -o "$work/host_pc"; then
    "$work/host_pc" || { echo "host built through pkg-config failed"; status=1; }
else
    echo "host does not build through pkg-config"
    status=1
fi

# Through find_package.
if "$cmake" -S "$root/tests/packaging" -B "$work/cmake_host" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER="$cc" \
    -DCMAKE_C_FLAGS="-Wall -Wextra -Werror ${flags[*]}" >"$work/cmake.log" 2>&1 &&
    "$cmake" --build "$work/cmake_host" >>"$work/cmake.log" 2>&1; then
    "$work/cmake_host/host" || { echo "host built through find_package failed"; status=1; }
else
    cat "$work/cmake.log"
    echo "host does not build through find_package"
    status=1
fi
exit $status
