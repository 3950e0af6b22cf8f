#!/usr/bin/env bash
# Installs Quillfen from a build tree into a temporary prefix and builds its Debian package,
# then checks both the way a desktop and apt would see them:
#   check-install.sh <build dir> <version> <icon size>...
# Leaves the build tree as it was: the prefix and the package go to a temporary folder.
set -euo pipefail

if [ $# -lt 3 ]; then
  echo "usage: $0 <build dir> <version> <icon size>..." >&2
  exit 2
fi
build=$(cd "$1" && pwd)
version=$2
shift 2
sizes=("$@")

work=$(mktemp -d "${TMPDIR:-/tmp}/quillfen-install.XXXXXX")
# cmake --install rewrites install_manifest.txt; a real install's manifest is what uninstalls
# it later, so it is put back as it was.
manifest=$build/install_manifest.txt
had_manifest=false
if [ -f "$manifest" ]; then cp -p "$manifest" "$work/install_manifest.txt" && had_manifest=true; fi
restore() {
  if $had_manifest; then cp -p "$work/install_manifest.txt" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$work"
}
trap restore EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# Width and height from a PNG's IHDR chunk, "W H".
png_size() {
  od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%d %d\n", (($1*256+$2)*256+$3)*256+$4, (($5*256+$6)*256+$7)*256+$8 }'
}

# --- the install tree ---------------------------------------------------------------------
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || {
  cat "$work/install.log" >&2
  fail "cmake --install"
  exit 1
}

desktop=share/applications/quillfen.desktop
metainfo=share/metainfo/org.quillfen.Quillfen.metainfo.xml
expected=(
  bin/quillfen
  bin/quillfen-cli
  "$desktop"
  "$metainfo"
  share/icons/hicolor/scalable/apps/quillfen.svg
  share/doc/quillfen/README.md
)
for n in "${sizes[@]}"; do expected+=("share/icons/hicolor/${n}x${n}/apps/quillfen.png"); done

for f in "${expected[@]}"; do
  if [ -f "$prefix/$f" ] && [ -s "$prefix/$f" ]; then pass "installed $f"; else fail "missing or empty: $f"; fi
done
for b in quillfen quillfen-cli; do
  [ -x "$prefix/bin/$b" ] || fail "bin/$b is not executable"
done

for n in "${sizes[@]}"; do
  png=$prefix/share/icons/hicolor/${n}x${n}/apps/quillfen.png
  [ -f "$png" ] || continue
  if [ "$(od -An -tx1 -N8 "$png" | tr -d ' \n')" != 89504e470d0a1a0a ]; then
    fail "$png is no PNG file"
  elif [ "$(png_size "$png")" != "$n $n" ]; then
    fail "$png is $(png_size "$png"), not $n x $n"
  else
    pass "icon ${n}x${n} is a $n x $n PNG"
  fi
done

if command -v xmllint >/dev/null; then
  xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/quillfen.svg" && pass "SVG icon is well-formed XML" ||
    fail "SVG icon is not well-formed"
fi

# Nothing of the build tree may leak into the installed program.
if grep -qF "$build" "$prefix/bin/quillfen"; then
  fail "bin/quillfen still refers to the build tree $build (RUNPATH?)"
fi
# The about box finds the README where the install put it, not in the tree it was built from.
source=$(cd "$(dirname "$0")/.." && pwd)
for b in quillfen quillfen-cli; do
  if grep -qF "$source/" "$prefix/bin/$b"; then fail "bin/$b names the source tree $source"; fi
done
if missing=$(ldd "$prefix/bin/quillfen" | grep "not found"); then
  fail "installed binary lacks libraries: $missing"
else
  pass "installed binary finds all its libraries"
fi

# --- desktop entry and metainfo -----------------------------------------------------------
if out=$(desktop-file-validate "$prefix/$desktop" 2>&1) && [ -z "$out" ]; then
  pass "desktop-file-validate"
else
  fail "desktop-file-validate: $out"
fi
value() { sed -n "s/^$1=//p" "$prefix/$desktop" | head -n1; }
[ "$(value Type)" = Application ] || fail "desktop entry Type is not Application"
[ "$(value Terminal)" = false ] || fail "desktop entry Terminal is not false"
[ -n "$(value 'Comment\[de\]')" ] || fail "desktop entry has no German comment"
# The menu starts what Exec names from PATH, and finds the icon by the name under Icon.
exec_cmd=$(value Exec)
[ -x "$prefix/bin/${exec_cmd%% *}" ] && pass "Exec=$exec_cmd is the installed binary" ||
  fail "Exec=$exec_cmd is not an installed program in bin/"
# "Open with Quillfen" in a file manager: the page's path as the one argument, for HTML files.
[ "${exec_cmd#* }" = "%f" ] && pass "Exec passes one file" || fail "Exec=$exec_cmd takes no %f"
grep -q '^MimeType=.*text/html;.*application/xhtml+xml;' "$prefix/$desktop" &&
  pass "MimeType declares HTML and XHTML" || fail "desktop entry declares no HTML MimeType"
icon=$(value Icon)
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] && pass "Icon=$icon is installed" ||
  fail "Icon=$icon has no icon in the hicolor theme"

if out=$(appstreamcli validate --no-net "$prefix/$metainfo" 2>&1); then
  pass "appstreamcli validate"
else
  fail "appstreamcli validate: $out"
fi
grep -q "<launchable type=\"desktop-id\">quillfen.desktop</launchable>" "$prefix/$metainfo" &&
  pass "metainfo launches the installed desktop entry" || fail "metainfo does not name quillfen.desktop"

# --- the Debian package -------------------------------------------------------------------
arch=$(dpkg --print-architecture)
deb=$work/pkg/quillfen_${version}_${arch}.deb
(cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB"
  exit 1
}
if [ ! -f "$deb" ]; then
  ls -l "$work/pkg" >&2 || true
  fail "cpack made no $(basename "$deb")"
  exit 1
fi
pass "built $(basename "$deb")"

dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./||' >"$work/contents"
for f in "${expected[@]}"; do
  grep -qx "usr/$f" "$work/contents" && pass "package holds usr/$f" || fail "package lacks usr/$f"
done
if outside=$(grep -v -e '^usr/' -e '^$' "$work/contents"); then
  fail "package installs outside /usr: $outside"
fi
if grep -q '^usr/local/' "$work/contents"; then fail "package installs into /usr/local"; fi

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quillfen ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version), not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is $(field Architecture)"
case "$(field Description)" in
  *";"*) fail "Description holds a CMake list separator: $(field Description)" ;;
  "") fail "package has no Description" ;;
esac
depends=$(field Depends)
echo "Depends: $depends"
# The package names alone, one a line, alternatives split too.
tr ',|' '\n\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//' >"$work/depends"
# shlibdeps must have found the libraries the binary links, with versions.
for p in libqt6widgets6 libqt6webenginewidgets6 libqt6core6 libc6 libstdc++6 qt6-qpa-plugins; do
  if grep -qxF "$p" "$work/depends"; then pass "Depends names $p"; else fail "Depends lacks $p"; fi
done
grep -Eq 'libqt6widgets6 \(>= [0-9]' <<<"$depends" || fail "Depends gives no version for libqt6widgets6"

# The binary in the package is the one apt puts at /usr/bin/quillfen.
mkdir "$work/unpacked"
dpkg-deb -x "$deb" "$work/unpacked"
for b in quillfen quillfen-cli; do
  if [ -x "$work/unpacked/usr/bin/$b" ] &&
    [ "$(od -An -tx1 -N4 "$work/unpacked/usr/bin/$b" | tr -d ' \n')" = 7f454c46 ]; then
    pass "usr/bin/$b in the package is an executable"
  else
    fail "usr/bin/$b in the package is no executable program"
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all install and package checks passed"
