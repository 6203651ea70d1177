#!/usr/bin/env bash
# Installs the Debian package named by VARO_PACKAGE on this machine with dpkg -i, so that dpkg
# resolves its computed dependencies against the real system, and checks what a user of the
# package gets: both programs start from their installed paths, the unit, the autostart entry, the
# manual pages and the licence are in place, every file has the permissions Debian wants, and
# lintian finds no error. A package that was not installed before is purged afterwards.
# Usage: check-package.sh VERSION   (the project's version); exits 77 when VARO_PACKAGE is unset.
set -euo pipefail

version=${1:?usage: check-package.sh VERSION}
deb=${VARO_PACKAGE:-}
if [ -z "$deb" ]; then
  echo "VARO_PACKAGE is unset: scripts/test builds the package and names it there"
  exit 77
fi

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

name=$(dpkg-deb -f "$deb" Package)
package_version=$(dpkg-deb -f "$deb" Version)
[[ "$package_version" == "$version"-* ]] ||
  fail "package version $package_version is not a revision of $version"
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" == *libqt6widgets6* && "$depends" == *libc6* ]] ||
  fail "Depends does not name the libraries the programs link: '$depends'"

# Folders 0755, programs 0755, every other file 0644, all owned by root.
while read -r mode owner _ _ _ path _; do
  case "$mode" in
    d*) expected=drwxr-xr-x ;;
    *) [[ "$path" == ./usr/bin/* ]] && expected=-rwxr-xr-x || expected=-rw-r--r-- ;;
  esac
  [ "$mode" = "$expected" ] || fail "$path is $mode, not $expected"
  [ "$owner" = root/root ] || fail "$path is owned by $owner"
done < <(dpkg-deb -c "$deb")

work=$(mktemp -d "${TMPDIR:-/tmp}/varo-package-test.XXXXXX")
was_installed=$(dpkg-query -W -f='${Status}' "$name" 2>/dev/null || true)
cleanup() {
  if [ "$was_installed" != "install ok installed" ]; then
    dpkg --purge "$name" >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# dpkg does not wait for another package manager that holds its lock; this waits up to 4 minutes.
installed=false
for _ in $(seq 120); do
  if dpkg -i "$deb" >"$work/dpkg.log" 2>&1; then
    installed=true
    break
  fi
  grep -q 'lock' "$work/dpkg.log" || break
  sleep 2
done
if ! $installed; then
  cat "$work/dpkg.log" >&2
  fail "dpkg -i $deb failed"
  exit 1
fi

# Each program answers --version at once with one line, its name and the version; the server is
# given a home of its own and no display, so that were the option ignored it would serve, not show.
for program in quillmarch-varo-server quillmarch-varo-client; do
  status=0
  output=$(env -i PATH=/usr/bin:/bin HOME="$work" XDG_RUNTIME_DIR="$work" \
             XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen \
             timeout 20 "/usr/bin/$program" --version 2>"$work/stderr") || status=$?
  [ "$status" -eq 0 ] || fail "$program --version ended with $status: $(cat "$work/stderr")"
  [ "$output" = "$program $version" ] || fail "$program --version printed '$output'"
  file "/usr/bin/$program" | grep -q ', stripped' || fail "$program is not stripped"
done

unit=/usr/lib/systemd/user/$name.service
if [ -f "$unit" ]; then
  grep -qx 'ExecStart=/usr/bin/quillmarch-varo-server' "$unit" || fail "$unit starts no installed program"
  grep -qx 'Environment=QT_QPA_PLATFORM=offscreen' "$unit" || fail "$unit may be handed a display"
  grep -qx 'Restart=on-failure' "$unit" || fail "$unit does not restart on failure"
  grep -qx 'Type=notify' "$unit" || fail "$unit does not wait for the program to be ready"
  if command -v systemd-analyze >/dev/null; then
    mkdir -p "$work/runtime"
    XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user verify "$unit" >"$work/verify" 2>&1 ||
      fail "systemd-analyze rejects $unit: $(cat "$work/verify")"
    [ ! -s "$work/verify" ] || fail "systemd-analyze warns about $unit: $(cat "$work/verify")"
  fi
else
  fail "no user unit at $unit"
fi

autostart=/usr/share/$name/autostart/$name.desktop
for entry in "$autostart" "/usr/share/applications/$name.desktop"; do
  if [ -f "$entry" ]; then
    desktop-file-validate "$entry" >"$work/validate" 2>&1 || fail "$(cat "$work/validate")"
    [ ! -s "$work/validate" ] || fail "desktop-file-validate: $(cat "$work/validate")"
  else
    fail "no desktop entry at $entry"
  fi
done
# Started from the menu the program shows its window; at log-in it stays in the tray.
for entry in "$autostart=" "/usr/share/applications/$name.desktop= --mostra"; do
  if [ -f "${entry%%=*}" ] &&
    ! grep -qx "Exec=/usr/bin/quillmarch-varo-server${entry#*=}" "${entry%%=*}"; then
    fail "${entry%%=*} does not start the installed program as Exec=...${entry#*=}"
  fi
done

# A copy the user keeps in ~/.config/autostart is skipped, not failed, once the package is removed.
grep -qx 'TryExec=/usr/bin/quillmarch-varo-server' "$autostart" ||
  fail "$autostart does not name the program it needs in TryExec"

for program in quillmarch-varo-server quillmarch-varo-client; do
  page=/usr/share/man/man1/$program.1.gz
  if [ -f "$page" ]; then
    rendered=$(MANWIDTH=80 man -l "$page" 2>"$work/man") || fail "man cannot show $page"
    [ ! -s "$work/man" ] || fail "man warns about $page: $(cat "$work/man")"
    grep -q "^ *$program" <<<"$rendered" || fail "$page does not name $program"
    ! grep -q '@[A-Z_]*@' <<<"$rendered" || fail "$page keeps words the install fills in"
  else
    fail "no manual page at $page"
  fi
done
# The server's page names the files of this install by their installed paths.
grep -q "/usr/lib/systemd/user/$name.service" <<<"$(MANWIDTH=200 man -l \
  "/usr/share/man/man1/quillmarch-varo-server.1.gz" 2>/dev/null)" ||
  fail "the server's manual page does not name the installed unit"

doc=/usr/share/doc/$name
grep -qx 'License: Expat' "$doc/copyright" 2>/dev/null || fail "no MIT licence in $doc/copyright"
# The users' guide, in Italian.
grep -q '^## Il registro eventi$' "$doc/GUIDA.md" 2>/dev/null || fail "no guide at $doc/GUIDA.md"
changelog_version=$({ zcat "$doc/changelog.Debian.gz" 2>/dev/null || true; } |
                    sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p')
[ "$changelog_version" = "$package_version" ] ||
  fail "the latest changelog entry is for '$changelog_version', the package is $package_version"

# lintian's errors are what Debian refuses a package for; warnings and notes are printed only.
lintian "$deb" >"$work/lintian" 2>&1 || true
cat "$work/lintian"
if grep -q '^E:' "$work/lintian"; then
  fail "lintian reports errors"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) of $deb failed" >&2
  exit 1
fi
echo "$deb: installed, both programs answer --version $version, lintian reports no error"
