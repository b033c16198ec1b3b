#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# machine lacks: GNU Octave with its MEX headers, CMake, a C++ compiler,
# GoogleTest, Octave's parallel package, gnuplot (no X) and the FreeSans
# font (and, for the full test suite, valgrind and clang's libFuzzer).
# Says what it installs; does nothing when all is present.
set -euo pipefail

missing=()
command -v octave-cli >/dev/null 2>&1 || missing+=(octave)
command -v mkoctfile >/dev/null 2>&1 || missing+=(liboctave-dev)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v make >/dev/null 2>&1 || missing+=(make)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
if [ "${TARN_WITH_BENCHMARK:-0}" = 1 ] && [ ! -f /usr/include/benchmark/benchmark.h ]; then
  missing+=(libbenchmark-dev)
fi
# The toolbox's sweeps and pictures: Octave's parallel package (parcellfun,
# and octave-pserver for the loopback cluster test, which runs it in a
# network namespace made with ip), gnuplot without X to draw with, and
# the FreeSans font that Octave's text renderer loads.
[ -x /usr/libexec/octave-pserver ] || missing+=(octave-parallel)
command -v gnuplot >/dev/null 2>&1 || missing+=(gnuplot-nox)
[ -f /usr/share/fonts/opentype/freefont/FreeSans.otf ] || missing+=(fonts-freefont-otf)
command -v ip >/dev/null 2>&1 || missing+=(iproute2)
# The checks of the full test suite (scripts/test.sh sets this): valgrind
# for the plug-ins in octave-cli, clang with its libFuzzer runtime for the
# fuzz targets.
if [ "${TARN_WITH_CHECKS:-0}" = 1 ]; then
  command -v valgrind >/dev/null 2>&1 || missing+=(valgrind)
  command -v clang++ >/dev/null 2>&1 || missing+=(clang)
  runtime_dir="$(clang++ --print-runtime-dir 2>/dev/null || true)"
  compgen -G "${runtime_dir:-/nonexistent}/libclang_rt.fuzzer*.a" >/dev/null || missing+=(libclang-rt-dev)
fi

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "tarn: installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
  else
    echo "tarn: please install as root: apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
