#!/usr/bin/env bash
# Builds the Debian package from the existing build folder, installs it into a temporary
# root with `dpkg --root`, makes a backup with the installed programs as an unprivileged
# user (started through /usr/bin/stowline, so the program folder is found through the
# link), then purges the package and checks that none of its files is left behind.
# Needs root (dpkg and the switch of user); the machine's own package database is never
# touched.
set -euo pipefail
cd "$(dirname "$0")/.."
export STOWLINE_DRY_POWER=1
# Nor may it reach the machine's system bus (logind, NetworkManager).
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/stowline-no-system-bus
build_dir=$(realpath "${STOWLINE_BUILD_DIR:-build}")

fail() {
  echo "test-package: FAILED: $*" >&2
  exit 1
}
if ((EUID != 0)); then
  fail "run as root (dpkg --root and running the program as another user need it)"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/stowline-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"

# --- the package --------------------------------------------------------------------
if [[ ! -f $build_dir/build.ninja ]]; then
  # The package strips its binaries: a build without debug information is enough.
  cmake -S . -B "$build_dir" -G Ninja -DSTOWLINE_WERROR=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build_dir" --target stowline stowarc swlpreset stowline_package_docs
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" ||
  { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/out/stowline_*.deb)
if ((${#debs[@]} != 1)) || [[ ! -f ${debs[0]} ]]; then
  fail "expected one stowline_*.deb in $work/out"
fi
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == stowline ]] || fail "package name: $(field Package)"
version=$(sed -n 's/^project(Stowline VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[[ $(field Version) == "$version" ]] || fail "version $(field Version), project has $version"
[[ $(field Section) == utils ]] || fail "section: $(field Section)"
# The libraries the programs link, found by dpkg-shlibdeps.
for library in libqt6core6 libqt6widgets6 libarchive13 libcurl4 libisoburn1; do
  [[ $(field Depends) == *"$library"* ]] || fail "Depends lacks $library: $(field Depends)"
done
link=$(dpkg-deb -c "$deb" | awk '$6 == "./usr/bin/stowline" { print $8 }')
[[ $link == ../lib/stowline/stowline ]] || fail "/usr/bin/stowline links to '$link'"

# --- installed into a root of its own -----------------------------------------------
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# The empty root has none of the libraries installed (they are the machine's own), nor a
# shell to run the maintainer scripts in: they run outside it, with DPKG_ROOT set.
dpkg=(dpkg --root="$root" --force-script-chrootless)
"${dpkg[@]}" --force-depends -i "$deb" >"$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log"; fail "dpkg -i"; }
mapfile -t owned < <("${dpkg[@]}" -L stowline | grep -vx '/\.')
for path in /usr/lib/stowline/stowline /usr/lib/stowline/stowarc /usr/lib/stowline/swlpreset \
  /usr/lib/stowline/manual/index.htm /usr/bin/stowline /usr/share/applications/stowline.desktop \
  /usr/share/icons/hicolor/scalable/apps/stowline.svg /usr/share/doc/stowline/copyright \
  /usr/share/doc/stowline/changelog.gz /usr/share/man/man1/stowline.1.gz; do
  [[ " ${owned[*]} " == *" $path "* ]] || fail "package lacks $path"
done
desktop-file-validate "$root/usr/share/applications/stowline.desktop" ||
  fail "desktop entry is not valid"

# --- the demo backup, run by an unprivileged user -------------------------------------
user="$work/user"
mkdir -p "$user/home" "$user/config/stowline" "$user/runtime" "$user/data" "$user/backups" \
  "$user/documents/letters" "$user/documents/cache"
for i in 1 2 3; do echo "Letter $i" >"$user/documents/letters/letter-$i.txt"; done
echo scratch >"$user/documents/cache/scratch.tmp"
# The installed program folder is read-only for the user: the data folder is recorded in
# the per-user swlinfo.dat.
echo "$user/data" >"$user/config/stowline/swlinfo.dat"
chmod 700 "$user/runtime"
chown -R nobody:nogroup "$user"

as_user() {
  setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i PATH=/usr/bin:/bin HOME="$user/home" XDG_CONFIG_HOME="$user/config" \
    XDG_DATA_HOME="$user/home/.local/share" XDG_RUNTIME_DIR="$user/runtime" \
    STOWLINE_DRY_POWER=1 DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS" "$@"
}
as_user "$root/usr/lib/stowline/swlpreset" "$user/data" Demo \
  nam=documents dtf=-YYMMDDHHMMSS vol=None fmt=1 cmp=3 \
  ctf=1 dir="$user/backups" inc="$user/documents" exc='*.tmp'
as_user timeout 120 "$root/usr/bin/stowline" /hide Demo /exit ||
  { cat "$user/data/swl.log" 2>/dev/null; fail "stowline /hide Demo /exit"; }

archives=("$user"/backups/documents-*.zip)
[[ -f ${archives[0]} ]] || { cat "$user/data/swl.log"; fail "no archive in $user/backups"; }
contents=$(bsdtar -tf "${archives[0]}")
[[ $contents == *letters/letter-1.txt* ]] || fail "archive lacks letter-1.txt: $contents"
[[ $contents != *scratch.tmp* ]] || fail "archive holds the excluded scratch.tmp"
[[ ! -e $root/usr/lib/stowline/swlinfo.dat ]] || fail "swlinfo.dat was written into the program folder"
unexpected=$(find "$root/usr/lib/stowline" | while read -r path; do
  [[ " ${owned[*]} " == *" ${path#"$root"} "* ]] || echo "$path"
done)
[[ -z $unexpected ]] || fail "files the package does not own in the program folder: $unexpected"

# --- removal --------------------------------------------------------------------------
# Root finds the program folder writable and records its data folder there; purging
# removes that file with the package.
echo /var/lib/Velmora/SWL >"$root/usr/lib/stowline/swlinfo.dat"
"${dpkg[@]}" --purge stowline >"$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log"; fail "dpkg --purge"; }
left=()
for path in "${owned[@]}"; do
  if [[ -e $root$path || -L $root$path ]]; then left+=("$path"); fi
done
((${#left[@]} == 0)) || fail "left after purge: ${left[*]}"
echo "test-package: OK (built, installed into a temporary root, ran a backup, purged)"
