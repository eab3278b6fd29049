#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests, the benchmarks and the later
# Python bindings and fuzzers need, in one apt-get call. Safe to run again: apt skips what
# is already there. valijson is header-only, and its Debian package drags in dozens of
# others, so its .deb is only unpacked into .deps/ next to this repository.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

packages=(
  build-essential cmake pkg-config ninja-build
  libsimdjson-dev nlohmann-json3-dev libtsl-ordered-map-dev libutfcpp-dev
  libxlsxwriter-dev libcairo2-dev libpango1.0-dev fonts-wqy-microhei
  libcli11-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  python3 python3-openpyxl python3-pytest python3-sklearn python3-pandas pybind11-dev python3-dev
  python3-venv python3-pip python3-setuptools python3-wheel python3-dask python3-distributed
  clang-14 libclang-rt-14-dev
)

export DEBIAN_FRONTEND=noninteractive
if ! dpkg-query -W -f='${Status}\n' "${packages[@]}" 2>/dev/null | grep -qv 'install ok installed' \
    && [ "$(dpkg-query -W -f='${Status}\n' "${packages[@]}" 2>/dev/null | wc -l)" -eq "${#packages[@]}" ]; then
  echo "install-deps: all packages present"
else
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${packages[@]}"
fi

# valijson: unpack the headers only.
if [ ! -f "$repo/.deps/valijson/usr/include/valijson/validator.hpp" ]; then
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get download libvalijson-dev >/dev/null)
  mkdir -p "$repo/.deps/valijson"
  dpkg-deb -x "$tmp"/libvalijson-dev_*.deb "$repo/.deps/valijson"
  rm -rf "$tmp"
fi
echo "install-deps: done"
