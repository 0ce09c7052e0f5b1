#!/usr/bin/env bash
# Checks that the build and test tools are present. As root it installs what
# is missing with apt-get; otherwise it says exactly what to install.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd cmake || need+=(cmake)
have_cmd g++ || need+=(g++)
have_cmd make || need+=(make)
have_pkg libgtest-dev || need+=(libgtest-dev)
have_pkg zlib1g-dev || need+=(zlib1g-dev)
have_pkg libhts-dev || need+=(libhts-dev)
have_pkg libssl-dev || need+=(libssl-dev)
have_cmd samtools || need+=(samtools)
have_cmd clang-format || need+=(clang-format)
if [ "${QUILM_WITH_MPI:-1}" = 1 ]; then
  have_cmd mpirun || need+=(openmpi-bin)
fi
# Only `make fuzz` needs clang (libFuzzer comes with it).
if [ "${QUILM_WITH_CLANG:-0}" = 1 ]; then
  have_cmd clang++ || need+=(clang)
fi

[ ${#need[@]} -eq 0 ] && exit 0

if [ "$(id -u)" = 0 ] && have_cmd apt-get; then
  echo "setup: installing ${need[*]}" >&2
  apt-get update -qq >/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
else
  echo "setup: missing packages; install them with:" >&2
  echo "  sudo apt-get install ${need[*]}" >&2
  exit 1
fi
