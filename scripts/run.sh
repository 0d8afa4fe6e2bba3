#!/usr/bin/env bash
# Installs what is missing, builds Vantrel for Windows and starts it under Wine in a demo folder
# that holds the stand-in Psexec.exe, a list of computers and a package on a UNC share.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh

if [ -z "${DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
run: there is no display (DISPLAY is not set). Vantrel is a desktop program.
  - From a desktop session, open a terminal there and run this command again.
  - Over SSH, connect with X forwarding: ssh -X <machine>, then run it again.
  - Or give it a virtual display and look at it with a VNC viewer, for example:
      apt-get install -y x11vnc && Xvfb :5 -screen 0 1280x1024x24 & 
      DISPLAY=:5 bash scripts/run.sh & x11vnc -display :5 -nopw
MSG
  exit 2
fi

echo "== building Vantrel for Windows"
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
cmake --build build/windows -j"$(nproc)" --target vantrel Psexec

source scripts/wine-session.sh
start_wine "$root/build/demo-wineprefix"

demo="$root/build/demo"
mkdir -p "$demo"
cp build/windows/src/shell/vantrel.exe build/windows/tools/Psexec.exe "$demo/"
printf 'PC-ACCOUNTING-01\r\nPC-ACCOUNTING-02\r\nLAPTOP-REBOOT-07\r\nPC-OFFLINE-12\r\nPC-LAB-03\r\n' > "$demo/computers.txt"
printf 'PC-LAB-01\r\nPC-LAB-02\r\nPC-LAB-03\r\n' > "$demo/lab.txt"
share="$WINEPREFIX/dosdevices/unc/demo-server/share"
mkdir -p "$share"
printf 'not a real package: the stand-in only checks the name\r\n' > "$share/install.msi"
printf 'not a real patch\r\n' > "$share/hotfix.msp"

cat <<MSG
== starting Vantrel in $demo
   Distribution List File: Z:${demo//\//\\}\\lab.txt   (or computers.txt: it holds an offline and a reboot case)
   Install package UNC path: \\\\demo-server\\share\\install.msi
   Leave Domain, User Name and Password empty and answer OK to run with the current account.
MSG
cd "$demo"
wine vantrel.exe
