# Sourced by the run and test scripts: a private Wine prefix and, when needed, a virtual display
# of our own. Only what this file started is ended again, by process id.

# start_display: starts Xvfb on a free display number and exports DISPLAY.
start_display() {
  local n
  for n in $(seq 90 250); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      # Tall enough for the main window at 200 percent.
      Xvfb ":$n" -screen 0 2560x1600x24 -nolisten tcp >/dev/null 2>&1 &
      VANTREL_XVFB_PID=$!
      local waited
      for waited in $(seq 1 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        kill -0 "$VANTREL_XVFB_PID" 2>/dev/null || break
        sleep 0.1
      done
      if [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        echo "wine-session: virtual display $DISPLAY (Xvfb pid $VANTREL_XVFB_PID)"
        return 0
      fi
    fi
  done
  echo "wine-session: could not start Xvfb" >&2
  return 1
}

# start_wine PREFIX: a private prefix, initialised once, with the test share mapped.
start_wine() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-session: creating Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
  fi
  # This Wine does not look into fonts-wine's folder: give the prefix Tahoma, MS Sans Serif and
  # the classic bitmap fonts, or every text falls back to a wider font.
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  local font
  for font in /usr/share/wine/fonts/*; do
    [ -e "$font" ] && ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
  wineserver -p >/dev/null 2>&1 || true
  # Start the prefix's background services here, detached from our output: started by the first
  # test instead, they would inherit its output pipe and keep CTest waiting after the test ends.
  wineboot >/dev/null 2>&1 </dev/null || true
  # The stand-in plays PsExec in this prefix, whose licence Vantrel checks before a run: the
  # prefix answers as an account that accepted it (tests of the check remove it themselves).
  wine reg add 'HKCU\Software\Sysinternals\PsExec' /v EulaAccepted /t REG_DWORD /d 1 /f >/dev/null 2>&1 </dev/null || true
  VANTREL_WINE_STARTED=1
}

# stop_wine_session: ends our wineserver and our Xvfb, nothing else.
stop_wine_session() {
  if [ -n "${VANTREL_WINE_STARTED:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
    unset VANTREL_WINE_STARTED
  fi
  if [ -n "${VANTREL_XVFB_PID:-}" ]; then
    kill "$VANTREL_XVFB_PID" 2>/dev/null || true
    wait "$VANTREL_XVFB_PID" 2>/dev/null || true
    unset VANTREL_XVFB_PID
  fi
}
