#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need, when any is missing.
# Sourced by run.sh and test.sh.
set -euo pipefail

CSVQ_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev default-jre-headless
  libwxgtk3.2-dev libicu-dev libantlr3c-dev antlr3 libglib2.0-dev uuid-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-apps imagemagick csvtool
)

csvq_install_deps() {
  local missing=()
  local p
  for p in "${CSVQ_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
