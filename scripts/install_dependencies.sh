#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# machine lacks: GNU Octave with its MEX headers, CMake, a C++ compiler and
# GoogleTest (and, for the full test suite, valgrind and clang's libFuzzer).
# Says what it installs; does nothing when all is present.
set -euo pipefail

missing=()
command -v octave-cli >/dev/null 2>&1 || missing+=(octave)
command -v mkoctfile >/dev/null 2>&1 || missing+=(liboctave-dev)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v make >/dev/null 2>&1 || missing+=(make)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
# The checks of the full test suite (scripts/test.sh sets this): valgrind
# for the plug-ins in octave-cli, clang with its libFuzzer runtime for the
# fuzz targets, clang-format for the format of the sources.
if [ "${TARN_WITH_CHECKS:-0}" = 1 ]; then
  command -v valgrind >/dev/null 2>&1 || missing+=(valgrind)
  command -v clang-format >/dev/null 2>&1 || missing+=(clang-format)
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
