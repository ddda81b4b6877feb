#!/bin/sh
# Builds the project and runs one of its jobs. Installs the Debian packages a
# job needs when they are missing (run as root on Debian).
#
#   tools/build.sh demo           build everything, run the demo
#   tools/build.sh test           build everything, run the whole test suite
#   tools/build.sh test-sanitize  the test suite under AddressSanitizer + UBSan
#   tools/build.sh test-32        the test suite of a 32-bit x86 build
#   tools/build.sh bench          build and run the benchmarks
#   tools/build.sh accuracy [rows] measure the active vector-math rows (or only the rows and
#                                 families named, "trig,sExp"), write docs/accuracy.md
#   tools/build.sh perf-report    vector math per vector level against SLEEF, libmvec and the C library, write docs/performance.md
#
# Build trees go to build/<job> below the source tree (BUILD_ROOT overrides).
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
job=${1:-test}
root=${BUILD_ROOT:-$src/build}
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}

base_pkgs="cmake make g++ gcc pkg-config libgtest-dev libopenblas-dev libeigen3-dev libmpfr-dev libgmp-dev libmpc-dev"
test_pkgs="python3 python3-numpy python3-scipy libgsl-dev librandom123-dev libboost-math-dev"
bench_pkgs="libbenchmark-dev libgsl-dev libsleef-dev librandom123-dev libboost-math-dev"
accuracy_pkgs="libsleef-dev python3-matplotlib libmpfr-dev"
i386_pkgs="gcc-multilib g++-multilib libopenblas-dev:i386 libgtest-dev:i386 libmpfr-dev:i386 libgmp-dev:i386 libmpc-dev:i386 librandom123-dev libboost-math-dev"

need() {
    missing=""
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    echo "installing:$missing"
    case "$missing" in *:i386*)
        dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
    esac
    # A mirror in the middle of a sync can fail an index download; try again,
    # and in the end go on with the indexes at hand if the install can.
    tries=0
    until apt-get update -qq; do
        tries=$((tries + 1))
        [ "$tries" -ge 4 ] && { echo "apt-get update kept failing; using the indexes at hand"; break; }
        sleep $((tries * 15))
    done
    tries=0
    until DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null; do
        tries=$((tries + 1))
        [ "$tries" -ge 3 ] && return 1
        sleep $((tries * 15))
        apt-get update -qq || true
    done
}

configure_build() {  # dir, cmake options...
    # Every option a job depends on is given on each run: a build tree that an
    # earlier job configured differently must not keep its cached choices.
    dir=$1; shift
    cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DORVU_FAMILIES=all -DORVU_BUILD_TESTS=ON \
        -DORVU_BUILD_BENCH=OFF -DORVU_SANITIZE=OFF "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

run_tests() {  # dir
    ctest --test-dir "$1" -j "$jobs" --output-on-failure --no-tests=error
}

case "$job" in
demo)
    # The same tree as the test job: "demo" then "test" builds once.
    need $base_pkgs $test_pkgs
    configure_build "$root/release"
    "$root/release/tools/orvu_demo" ;;
test)
    need $base_pkgs $test_pkgs
    configure_build "$root/release"
    run_tests "$root/release" ;;
test-sanitize)
    need $base_pkgs $test_pkgs
    # -O1 and line tables: the sanitizers' usual level, half the compile time of -O2 -g.
    configure_build "$root/sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVU_SANITIZE=ON \
        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests "$root/sanitize" ;;
test-32)
    need $base_pkgs $i386_pkgs
    # Kernels built without 32-bit support cannot exec i386 programs: the
    # tests then run under the user-mode emulator.
    emu=""
    probe=$(mktemp -d)
    echo 'int main(void){return 0;}' > "$probe/p.c"
    gcc -m32 "$probe/p.c" -o "$probe/p"
    if ! "$probe/p" 2>/dev/null; then
        need qemu-user
        emu="-DCMAKE_CROSSCOMPILING_EMULATOR=$(command -v qemu-i386)"
    fi
    rm -rf "$probe"
    configure_build "$root/i386" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/i386-toolchain.cmake" $emu
    run_tests "$root/i386" ;;
bench)
    need $base_pkgs $bench_pkgs
    configure_build "$root/bench" -DORVU_BUILD_TESTS=OFF -DORVU_BUILD_BENCH=ON
    for b in "$root"/bench/bench/*/*_bench; do "$b"; done ;;
accuracy)
    # Single-precision one-argument rows over all 2^32 arguments, the others
    # sampled; SLEEF and glibc beside them. Writes the page, its table and its
    # figures. With an argument (rows or families, "trig,sExp") only those are
    # measured again and the other rows keep their lines: the whole run takes
    # hours on two cores, so the page can be brought up to date in parts.
    need $base_pkgs $accuracy_pkgs
    configure_build "$root/accuracy" -DORVU_FAMILIES="kex;platform"
    "$root/accuracy/tools/kex_accuracy" --exhaustive --peers --samples 1000000 --threads "$jobs" \
        ${2:+--only "$2" --update} \
        --markdown "$src/docs/accuracy.md" --tsv "$src/docs/figures/accuracy.tsv" || status=$?
    /usr/bin/python3 "$src/tools/kex_accuracy/plot.py" "$src/docs/figures/accuracy.tsv" "$src/docs/figures"
    exit ${status:-0} ;;
perf-report)
    need $base_pkgs $bench_pkgs python3-matplotlib
    configure_build "$root/bench" -DORVU_BUILD_TESTS=OFF -DORVU_BUILD_BENCH=ON
    # One run per vector level the machine has, capped through ORVU_KEXLEVEL. The
    # wide runs time our kernels and the SLEEF and libmvec routines of their width
    # (bench_peers.cc registers those) at n = 100000, for the rows that have wide
    # kernels; scalar and plain loops run at SSE only.
    rm -f "$root/bench"/peers*.json
    for level in sse avx2 avx512; do
        case $level in
            sse) filter=Peers/ ;;
            *) filter=$(/usr/bin/python3 "$src/bench/kex/perf_report.py" --wide-filter)
               flags=avx2; [ $level = avx2 ] || flags="avx512f avx512dq avx512bw avx512vl"
               for f in $flags; do grep -qw $f /proc/cpuinfo || continue 2; done ;;
        esac
        ORVU_KEXLEVEL=$level "$root/bench/bench/kex/kex_bench" --benchmark_filter="$filter" \
            --benchmark_format=json --benchmark_context=level=$level \
            --benchmark_enable_random_interleaving=true > "$root/bench/peers_$level.json"
    done
    /usr/bin/python3 "$src/bench/kex/perf_report.py" "$root/bench"/peers_*.json
    for b in twister counter quasi; do
        "$root/bench/bench/ptz_rng/ptz_rng_${b}_bench" --benchmark_format=json --benchmark_repetitions=5 \
            --benchmark_enable_random_interleaving=true > "$root/bench/rng_$b.json"
    done
    /usr/bin/python3 "$src/bench/ptz_rng/rng_report.py" "$root/bench"/rng_*.json ;;
*)
    echo "usage: $0 demo|test|test-sanitize|test-32|bench|accuracy|perf-report" >&2; exit 2 ;;
esac
