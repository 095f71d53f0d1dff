#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail

packages=(
  cmake g++ make ccache pkg-config python3
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  qt6-base-dev qt6-svg-dev qt6-translations-l10n
  xvfb xauth xdotool imagemagick poppler-utils fonts-liberation2
  # Windows metafiles (EMF and WMF) of exported pictures.
  libuemf-dev
  # The reports drive LibreOffice Calc over UNO; picture export renders metafiles with Draw.
  # The desktop packages show the finished workbook to the operator in a Calc window. Their
  # "-nogui" twins (headless servers) conflict with them, so either family is accepted: the
  # word after "|" is the "-nogui" alternative, which counts as present, and which is the one
  # installed when that family is already on the machine (mixing the two cannot install).
  "libreoffice-calc|libreoffice-calc-nogui" "libreoffice-draw|libreoffice-draw-nogui"
  libreoffice-dev python3-openpyxl
  # Calc's own menus and dialogs in Russian, like the rest of the workstation.
  libreoffice-l10n-ru
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

nogui=0
installed libreoffice-core-nogui && nogui=1

missing=()
for spec in "${packages[@]}"; do
  present=0
  IFS='|' read -r -a choices <<<"$spec"
  for p in "${choices[@]}"; do
    if installed "$p"; then present=1; break; fi
  done
  if ((!present)); then
    if ((nogui && ${#choices[@]} > 1)); then missing+=("${choices[1]}"); else missing+=("${choices[0]}"); fi
  fi
done

if ((${#missing[@]})); then
  echo "Устанавливаются пакеты: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
