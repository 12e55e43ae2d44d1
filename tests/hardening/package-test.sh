#!/usr/bin/env bash
# Builds the Debian package of a build folder and checks what it installs and depends on.
# Usage: package-test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack did not build a package"; }
deb=$(ls "$work"/wakeward_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no wakeward_*.deb was written"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | sort >"$work/files"
expected=(
  /usr/bin/wakeward
  /usr/libexec/wakeward/wakeward-desktop
  /usr/libexec/wakeward/wakeward-headless
  /usr/share/applications/org.fenmarch.Wakeward.desktop
  /usr/share/icons/hicolor/scalable/apps/org.fenmarch.Wakeward.svg
  /usr/share/icons/hicolor/scalable/status/org.fenmarch.Wakeward-idle.svg
  /usr/share/icons/hicolor/scalable/status/org.fenmarch.Wakeward-active.svg
  /usr/share/dbus-1/services/org.fenmarch.Wakeward.service
  /usr/share/man/man1/wakeward.1
  /usr/share/metainfo/org.fenmarch.Wakeward.metainfo.xml
  /usr/share/bash-completion/completions/wakeward
  /usr/share/zsh/vendor-completions/_wakeward
  /usr/share/fish/vendor_completions.d/wakeward.fish
)
for file in "${expected[@]}"; do
  grep -qx "$file" "$work/files" || fail "the package lacks $file"
done
# Nothing but the files above and the folders that hold them: no headers, no static libraries,
# no tests or benchmarks.
extra=$(grep -v '/$' "$work/files" | grep -vxF -f <(printf '%s\n' "${expected[@]}") || true)
[ -z "$extra" ] || fail "the package holds unexpected files: $extra"

depends=$(dpkg-deb -f "$deb" Depends)
for dependency in libc6 libqt6core6 libqt6dbus6 libqt6widgets6 libsqlite3-0 libicu qt6-qpa-plugins libqt6svg6 libpulse0 libsystemd0; do
  [[ "$depends" == *"$dependency"* ]] || fail "Depends lacks $dependency: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = wakeward ] || fail "the package is not named wakeward"

dpkg-deb -x "$deb" "$work/root"
[ -x "$work/root/usr/bin/wakeward" ] || fail "the binary is not executable"
# The command line loads no Qt at all, the headless instance no windowing library, and no
# program the sound library before a rule asks for it.
if objdump -p "$work/root/usr/bin/wakeward" | grep -E 'NEEDED +libQt6'; then
  fail "the command line needs Qt"
fi
if objdump -p "$work/root/usr/libexec/wakeward/wakeward-headless" | grep -E 'NEEDED +libQt6(Gui|Widgets)'; then
  fail "the headless instance needs the windowing libraries"
fi
if objdump -p "$work/root/usr/bin/wakeward" "$work/root/usr/libexec/wakeward/"* | grep -E 'NEEDED +libpulse'; then
  fail "the programs link the sound library"
fi
grep -q '^Exec=/usr/bin/wakeward' "$work/root/usr/share/dbus-1/services/org.fenmarch.Wakeward.service" ||
  fail "the D-Bus service file does not start /usr/bin/wakeward"
completes() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _wakeward; echo "${COMPREPLY[*]}"' \
    _ "$work/root/usr/share/bash-completion/completions/wakeward" "$@"
}
[ "$(completes wakeward st)" = "start stop status" ] || fail "bash completes \"st\" as: $(completes wakeward st)"
[ "$(completes wakeward start --unt)" = "--until --until-stopped" ] || fail "bash completes start options as: $(completes wakeward start --unt)"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.fenmarch.Wakeward.metainfo.xml" ||
  fail "the AppStream metainfo does not validate"
echo "package $(basename "$deb"): $(wc -l <"$work/files") entries, Depends: $depends"
