# Sourced by the project's scripts.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BRIMSTEAD_BUILD:-$root/build}
jobs=$(nproc)

# Wine runs 32-bit Windows programs through its 32-bit loader, which needs a kernel that executes
# 32-bit programs. Where it cannot, the Windows code is tested as a 64-bit build instead.
can_run_win32() {
  [ -z "${BRIMSTEAD_FORCE_WIN64:-}" ] && /usr/lib/wine/wine --version 2>/dev/null | grep -q '^wine-'
}

# Configures and builds one Windows tree: NAME TOOLCHAIN BIN_DIR RUN_TESTS
build_windows_tree() {
  cmake -S "$root" -B "$build/$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2.cmake" \
    -DBRIMSTEAD_BIN_DIR="$build/$3" -DBRIMSTEAD_WINDOWS_TESTS="$4" >/dev/null
  cmake --build "$build/$1" -j "$jobs"
}

# Builds the product (32-bit engine, builder) and, where 32-bit programs cannot run, the 64-bit
# engine that the tests use. Sets test_tree, engine (the product's engine that runs here) and
# test_engine (the same engine with the tests' restart seam, from the test tree's support folder);
# the host tree's end-to-end tests take that engine and the test tools (launch, uidriver) from the
# test tree.
build_all() {
  if can_run_win32; then
    build_windows_tree win mingw-i686 bin ON
    test_tree=win engine="$build/bin/brimstead-engine.exe"
  else
    echo "note: this machine cannot execute 32-bit programs; Windows tests run a 64-bit build"
    build_windows_tree win mingw-i686 bin OFF
    build_windows_tree win64 mingw-x86_64 bin64 ON
    test_tree=win64 engine="$build/bin64/brimstead-engine.exe"
  fi
  test_engine="$build/$test_tree/support/brimstead-engine-test.exe"
  cmake -S "$root" -B "$build/host" -G Ninja -DBRIMSTEAD_TEST_ENGINE="$test_engine" \
    -DBRIMSTEAD_TEST_SUPPORT_DIR="$build/$test_tree/support" >/dev/null
  cmake --build "$build/host" -j "$jobs"
}
