#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing
# Tolvane needs. Safe to run again; installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang clang-format libclang-rt-14-dev libomp-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev
  libuchardet-dev
  # Styled subtitles (libass); the word breaks of Thai lines, which Qt finds
  # only with libthai and loads by name at run time; fonts with Chinese,
  # Japanese and Thai letters for their tests.
  libass-dev libthai0 fonts-droid-fallback fonts-thai-tlwg
  # Speech alignment: audio conversion (loaded at run time like the rest of
  # FFmpeg), the voice detector, the correlations' transforms, and the
  # speech its tests make (two engines, so that the films have more than one
  # kind of voice).
  libswresample-dev libwebrtc-audio-processing-dev libfftw3-dev espeak-ng flite
  # Picture subtitles read as text: Tesseract's library and the language
  # data its tests read.
  libtesseract-dev libleptonica-dev tesseract-ocr-eng tesseract-ocr-fra tesseract-ocr-deu
  libgtest-dev
  ffmpeg
  fonts-liberation2 fonts-dejavu-core
  locales
  # The window's platform plugin; the terminal test's pseudo-terminal
  # (script); the Debian package's library scan (dpkg-shlibdeps, and file,
  # which cpack needs to tell programs from other files), the man page's and
  # the desktop entry's checks.
  qt6-qpa-plugins bsdutils dpkg-dev file groff-base desktop-file-utils
  # A second reader of the MP4 outputs' length (gst-discoverer-1.0, qtdemux).
  gstreamer1.0-plugins-base-apps gstreamer1.0-plugins-good
  # A second decoder of the joins between copied and encoded pictures
  # (h264parse and h265parse, and libav's decoders).
  gstreamer1.0-plugins-bad gstreamer1.0-libav
  # A third reader of those files' pictures.
  mediainfo
  # The job benchmark's clock of wall time, CPU time and peak memory.
  time
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  # A minimal system has no sudo: say what to do rather than fail on it.
  if ! command -v sudo >/dev/null; then
    echo "install-deps: run as root to install: ${missing[*]}" >&2
    exit 1
  fi
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
