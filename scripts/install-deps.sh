#!/usr/bin/env bash
# Installs the Debian packages the build, the tools and the tests need, when missing.
# Usage: scripts/install-deps.sh [windows]   (windows: also the MinGW-w64 cross compilers
# and Wine, for scripts/build-windows.sh and the Windows test stage, and what
# scripts/check-msvc-layout.sh needs besides clang)
set -euo pipefail

packages=(
    cmake g++ make clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libcli11-dev libexpat1-dev libglpk-dev libeigen3-dev
    pybind11-dev python3-dev python3-numpy python3-pytest python3-matplotlib python3-scipy
)
if [ "${1:-}" = windows ]; then
    # googletest: the sources the cross build compiles (/usr/src/googletest). llvm: the
    # archiver and resource compiler that CMake asks for when it configures clang for the
    # MSVC target (scripts/check-msvc-layout.sh).
    packages+=(g++-mingw-w64-x86-64-posix mingw-w64 binutils-mingw-w64-x86-64 googletest
               wine wine64 llvm)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
# apt may be busy with another install: wait for its lock rather than fail.
apt_options=(-o DPkg::Lock::Timeout=300)
"${sudo_cmd[@]}" apt-get "${apt_options[@]}" update -qq
"${sudo_cmd[@]}" apt-get "${apt_options[@]}" install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
