# Sourced by the screenshot scripts: a temporary HOME, program folder and data folder for
# the program, with power actions dry and no way to the machine's system bus. Sets
# `work` (the sandbox), `out` (docs/screenshots) and `pids` (processes to end on exit),
# and gives find_window and shoot.
# $1 names the sandbox folder.
export STOWLINE_DRY_POWER=1
# Never the machine's system bus: nothing here may reach its power or network services.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/stowline-screenshots
out="$PWD/docs/screenshots"
mkdir -p "$out"

work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [[ -n ${KEEP:-} ]] || rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/program" "$work/data" "$work/runtime" "$work/home" "$work/tmp"
chmod 700 "$work/runtime"
echo "$work/data" >"$work/program/swlinfo.dat"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" STOWLINE_PROGRAM_DIR="$work/program"
export XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export TMPDIR="$work/tmp"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

# The window whose title matches $1, once it is mapped.
find_window() {
  local id
  for _ in $(seq 50); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [[ -n $id ]] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "no window \"$1\" appeared" >&2
  return 1
}
# A picture of window $1 in $out/$2.png.
shoot() {
  xwd -silent -id "$1" -out "$work/shot.xwd"
  /usr/bin/convert "xwd:$work/shot.xwd" "$out/$2.png"
  echo "Wrote $out/$2.png"
}
