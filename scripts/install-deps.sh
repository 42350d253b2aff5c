#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; quick when everything is already there.
set -euo pipefail

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          wine64 xvfb xauth googletest python3-pyftpdlib python3-openssl openssl xz-utils
          rsync time lftp vsftpd e2fsprogs
          fonts-liberation  # Arial, Times New Roman and Courier New under Wine: see scripts/wine-env.sh
          imagemagick)      # screenshots of the real Xvfb screen: scripts/screenshot.sh

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
