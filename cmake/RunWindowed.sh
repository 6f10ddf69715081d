#!/usr/bin/env bash
# RunWindowed.sh PROGRAM [ARGS...]
# Runs a Windows test program under Wine on a private Xvfb display (24-bit,
# the display number chosen by the server, so parallel runs never collide).
# A Wine server and its system processes belong to the display of the
# program that started them: one lingering from an earlier run cannot make
# windows on the new display. CTest runs this script alone (RUN_SERIAL), so
# it ends whatever server the prefix still has before the program, and its
# own after it (rather than waiting seconds for either to linger out).
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
if [ ! -s "$work/display" ]; then
  echo "RunWindowed: Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"
end_wine() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
}
end_wine
# Without a window manager Wine would wait two seconds for one to confirm
# every top-level window it hides (each host window a test closes). The
# prefix is told once to manage its windows itself; the setting stays.
prefix=${WINEPREFIX:-$HOME/.wine}
if ! grep -qs '^"Managed"="N"' "$prefix/user.reg"; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w 2>/dev/null
fi
wine "$@"
rc=$?
end_wine
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $rc
