# Shared settings for the project's scripts. Sourced, not run.
HV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
HV_BUILD="$HV_ROOT/build"
HV_JOBS="${HV_JOBS:-$(nproc 2>/dev/null || echo 2)}"

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$HV_BUILD/wineprefix"
export WINEARCH=win64

# A Wine prefix of the project's own, initialised once.
# The test programs' windows are not handed to a window manager: with none running (Xvfb), Wine waits two
# seconds for one at every top-level window it destroys, and a manager would only move the focus about.
hv_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w 2>/dev/null || true
  fi
  if [ ! -f "$WINEPREFIX/.hv-test-programs" ]; then
    local app
    for app in hv_win32_tests.exe hv_core_tests.exe; do
      wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$app\\X11 Driver" /v Managed /t REG_SZ /d N /f \
          >/dev/null 2>&1 || return 1
    done
    wineserver -w 2>/dev/null || true
    touch "$WINEPREFIX/.hv-test-programs"
  fi
  hv_wine_fonts
}

# The fonts the dialogs name. Debian's Wine does not look where fonts-wine puts Wine's own fonts (Tahoma,
# MS Sans Serif, Marlett for the caption buttons): they go into the prefix's Fonts folder, which it reads.
# Times New Roman and Arial are drawn with their metric-compatible Liberation faces.
hv_wine_fonts() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [ -f "$WINEPREFIX/.hv-fonts" ] && return 0
  [ -d /usr/share/wine/fonts ] || return 0
  mkdir -p "$fonts"
  cp /usr/share/wine/fonts/* "$fonts/" || return 1
  local face
  for face in "Times New Roman=Liberation Serif" "Arial=Liberation Sans" "Courier New=Liberation Mono"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${face%%=*}" /t REG_SZ /d "${face#*=}" /f \
        >/dev/null 2>&1 || return 1
  done
  wineserver -w 2>/dev/null || true
  touch "$WINEPREFIX/.hv-fonts"
}

# Start Xvfb when there is no display; HV_XVFB_PID is set when we started one.
hv_display() {
  HV_XVFB_PID=""
  if [ -z "${DISPLAY:-}" ]; then
    local n
    for n in 91 92 93 94 95 96 97 98 99; do
      if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
    done
    Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
    HV_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
}

hv_display_stop() {
  if [ -n "${HV_XVFB_PID:-}" ]; then kill "$HV_XVFB_PID" 2>/dev/null || true; wait "$HV_XVFB_PID" 2>/dev/null || true; fi
}
