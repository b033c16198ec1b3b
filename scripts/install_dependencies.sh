#!/usr/bin/env bash
# Installs, with apt-get, whatever this machine lacks for what is asked, says
# what it installs, and does nothing when all is present.
#   scripts/install_dependencies.sh          the build and the tests: GNU Octave
#                                            with its development files, CMake,
#                                            g++, make and GoogleTest
#   scripts/install_dependencies.sh --demo   what the demo needs, no more:
#                                            Octave, its development files
#                                            (mkoctfile, the MEX headers) and g++
# TARN_WITH_CHECKS=1 (scripts/test.sh sets it) adds what the full test suite
# needs: valgrind, clang with its libFuzzer runtime, clang-format, and
# MISS_HIT for the MATLAB syntax check, from PyPI with pip into
# .tools/miss_hit (where PyPI is out of reach it says so, and that check is
# skipped).
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v octave-cli >/dev/null 2>&1 || missing+=(octave)
command -v mkoctfile >/dev/null 2>&1 || missing+=(liboctave-dev)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
if [ "${1:-}" != --demo ]; then
  command -v cmake >/dev/null 2>&1 || missing+=(cmake)
  command -v make >/dev/null 2>&1 || missing+=(make)
  [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
  # The checks of the full test suite: valgrind for the plug-ins in
  # octave-cli, clang with its libFuzzer runtime for the fuzz targets,
  # clang-format for the format of the sources, and Python with venv for
  # MISS_HIT.
  if [ "${TARN_WITH_CHECKS:-0}" = 1 ]; then
    command -v valgrind >/dev/null 2>&1 || missing+=(valgrind)
    command -v clang-format >/dev/null 2>&1 || missing+=(clang-format)
    command -v clang++ >/dev/null 2>&1 || missing+=(clang)
    runtime_dir="$(clang++ --print-runtime-dir 2>/dev/null || true)"
    compgen -G "${runtime_dir:-/nonexistent}/libclang_rt.fuzzer*.a" >/dev/null || missing+=(libclang-rt-dev)
    if ! command -v mh_style >/dev/null 2>&1 && ! python3 -c 'import venv, ensurepip' >/dev/null 2>&1; then
      missing+=(python3-venv)
    fi
  fi
fi

if [ ${#missing[@]} -gt 0 ]; then
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
fi

# MISS_HIT is no Debian package: pip installs it into a folder of its own,
# where tests/install/matlab_syntax.sh looks for it.
if [ "${1:-}" != --demo ] && [ "${TARN_WITH_CHECKS:-0}" = 1 ] &&
   ! command -v mh_style >/dev/null 2>&1 && [ ! -x .tools/miss_hit/bin/mh_style ]; then
  echo "tarn: installing MISS_HIT from PyPI into .tools/miss_hit (for the MATLAB syntax check)"
  if ! { python3 -m venv .tools/miss_hit &&
         .tools/miss_hit/bin/pip install -q --retries 1 --timeout 30 miss_hit; }; then
    rm -rf .tools/miss_hit
    echo "tarn: MISS_HIT could not be installed (no Python venv, or PyPI out of reach):" \
         "the MATLAB syntax check will be skipped" >&2
  fi
fi
