#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Idempotent: only packages that are missing are installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config python3
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-translations-l10n fonts-noto-cjk xvfb xauth desktop-file-utils dbus-daemon
  libfluidsynth-dev fluidsynth timgm6mb-soundfont
  librtmidi-dev
  portaudio19-dev libasound2-dev alsa-utils
  pipewire wireplumber pipewire-pulse pipewire-alsa pulseaudio-utils
  libsndfile1-dev libmpg123-dev libsoxr-dev librubberband-dev
  libmp3lame-dev lame
  libuchardet-dev libicu-dev
  libebur128-dev ffmpeg
  libaubio-dev libfftw3-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev
  libsqlite3-dev libtag1-dev
  postgresql libpq-dev
  libzip-dev libpng-dev
  libcpp-httplib-dev libqrencode-dev chromium
  libdrumstick-dev qtbase5-dev
  liblilv-dev lv2-dev mda-lv2 dragonfly-reverb-lv2
  dpkg-dev file lintian appstream
  qt6-tools-dev qt6-l10n-tools opencc
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]})); then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  echo "bootstrap: installing ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
