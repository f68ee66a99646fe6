#!/usr/bin/env bash
# Installs the Debian packages that building, the demo and the tests need.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  g++ clang libclang-rt-14-dev clang-format clang-tidy
  zlib1g-dev libsqlite3-dev sqlite3 libcurl4-openssl-dev libvmime-dev libpugixml-dev
  libjpeg62-turbo-dev qt6-base-dev qt6-translations-l10n fonts-dejavu-core libssl-dev
  libicu-dev libexif-dev nlohmann-json3-dev ccache openssl ca-certificates systemd
  libgtest-dev libgmock-dev libbenchmark-dev
  dovecot-imapd dovecot-pop3d python3-aiosmtpd tinyproxy
  xvfb xauth desktop-file-utils libvips-tools imagemagick
  dpkg-dev file
)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${packages[@]}"
