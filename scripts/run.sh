#!/usr/bin/env bash
# Installs what is missing, builds Vantrel for Windows and starts it under Wine in a demo folder
# that holds the stand-in Psexec.exe, lists of computers and a real Windows Installer package on
# a UNC share. The list's local computer (localhost) gets the package installed for real, in the
# demo's Wine prefix; the other computers are simulated by name.
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
cmake --build build/windows -j"$(nproc)" --target vantrel Psexec demo_package

source scripts/wine-session.sh
start_wine "$root/build/demo-wineprefix"
# The session keeps its Wine server and services alive for quick starts: once the window is
# closed (or this script is interrupted), the demo prefix's session ends with it.
trap stop_wine_session EXIT

demo="$root/build/demo"
mkdir -p "$demo"
cp build/windows/src/shell/vantrel.exe build/windows/tools/Psexec.exe "$demo/"
printf 'localhost\r\nPC-ACCOUNTING-01\r\nPC-ACCOUNTING-02\r\nLAPTOP-REBOOT-07\r\nPC-OFFLINE-12\r\nPC-FAIL-05\r\nPC-BUSY-04\r\nPC-DENIED-09\r\nPC-LOST-11\r\nPC-NOSVC-14\r\n' > "$demo/computers.txt"
printf 'localhost\r\nPC-LAB-01\r\nPC-LAB-02\r\nPC-LAB-03\r\n' > "$demo/lab.txt"
share="$WINEPREFIX/dosdevices/unc/demo-server/share"
mkdir -p "$share"
cp build/windows/tools/install.msi "$share/install.msi"

cat <<MSG
== starting Vantrel in $demo
   Distribution List File: Z:${demo//\//\\}\\computers.txt   (or lab.txt, where all succeed)
   Install package UNC path: \\\\demo-server\\share\\install.msi
   Leave Domain, User Name and Password empty and answer OK to run with the current account.
   localhost gets the package for real: C:\\Program Files (x86)\\Vantrel Demo\\vantrel-demo.txt
   in $WINEPREFIX/drive_c. Tick "Execute Uninstall procedure" to remove it again.
   Right-click the console view to save the computers that did not succeed as a new list.
MSG
cd "$demo"
wine vantrel.exe || echo "run: Vantrel ended with exit code $?" >&2
