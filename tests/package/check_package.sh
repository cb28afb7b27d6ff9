#!/usr/bin/env bash
# Packs a build tree with CPack, lists the package and checks what it holds.
#
# Usage: tests/package/check_package.sh linux NATIVE_BUILD_DIR
#        tests/package/check_package.sh deb NATIVE_BUILD_DIR
#        tests/package/check_package.sh windows WINDOWS_BUILD_DIR NATIVE_BUILD_DIR
#   linux    the tarball: the three programs, the manual page, the docs; the
#            packed programs then update the simulated instrument (languages
#            only, scaled time) on their own, out of the unpacked folder.
#   deb      the Debian package: lintian finds nothing to warn of; installed with
#            dpkg -i (as root, or through sudo), the installed programs
#            update the simulated instrument; then removed, leaving nothing
#            (an r7700update installed before is replaced, then removed too).
#   windows  the zip: both programs (64-bit, no runtime DLLs beside them), the
#            help page, product.ini, data/lang.cfg, the docs; the native
#            r7700-update then starts on the unpacked folder, which proves
#            that product.ini and lang.cfg agree.
# The package and its unpacked copy go to BUILD_DIR/package-check.
# Exit status 0 when every check passed.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
failures=0

usage() {
  sed -n '4,6p' "$0" >&2
  exit 64
}

check() { # description command...
  local description=$1
  shift
  if "$@"; then
    echo "ok   $description"
  else
    echo "FAIL $description"
    failures=$((failures + 1))
  fi
}

# Runs CPack on a build tree; prints the package's path.
make_package() { # build-dir out-dir extension
  rm -rf "$2"
  mkdir -p "$2"
  cpack --config "$1/CPackConfig.cmake" -B "$2" >"$2/cpack.log" 2>&1 ||
    { cat "$2/cpack.log" >&2; return 1; }
  local -a found
  mapfile -t found < <(find "$2" -maxdepth 1 -name "r7700update-*.$3")
  if ((${#found[@]} != 1)); then
    echo "check_package: expected one r7700update-*.$3 in $2, found ${#found[@]}" >&2
    return 1
  fi
  echo "${found[0]}"
}

# The package's entries (files only), relative to its top folder, sorted.
list_package() { # package
  cmake -E tar tf "$1" | grep -v '/$' | sed 's|^[^/]*/||' | sort
}

unpack() { # package dir; prints the top folder
  mkdir -p "$2"
  (cd "$2" && cmake -E tar xf "$1")
  find "$2" -mindepth 1 -maxdepth 1 -type d | head -n 1
}

has_entry() { grep -qxF "$2" "$1"; }

# Entries outside the allowed folders (one extended regex).
only_under() { ! grep -vE "$2" "$1"; }

# Every docs/*.md of the source tree is in the package, under prefix.
has_all_docs() { # listing prefix
  local doc
  for doc in "$source_dir"/docs/*.md; do
    has_entry "$1" "$2docs/$(basename "$doc")" || { echo "     missing $2docs/$(basename "$doc")"; return 1; }
  done
}

is_file_type() { file -b "$1" | grep -qE "$2"; }

output_is() { # expected command...
  local expected=$1
  shift
  [[ "$("$@" 2>&1)" == "$expected" ]]
}

# A mingw-w64 program that runs on its own imports system DLLs only.
imports_no_runtime_dlls() {
  local dump=x86_64-w64-mingw32-objdump
  command -v "$dump" >/dev/null || { echo "     $dump is not installed"; return 1; }
  ! "$dump" -p "$1" | grep -iE 'DLL Name: *(libstdc\+\+|libgcc|libwinpthread)'
}

file_has() { grep -qF -- "$2" "$1"; }

# The project's version, as CMake knows it.
version=$(sed -n 's/^project(r7700update VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")

has_version_name() { [[ "$(basename "$1")" == r7700update-"$version"-* ]]; }

# The long options a program's --help names, once each.
long_options() { "$1" --help | grep -oE -- '--[a-z][a-z-]*[a-z]' | sort -u; }

check_linux() { # native-build-dir
  local build out package listing top
  build=$(cd "$1" && pwd)
  out=$build/package-check
  package=$(make_package "$build" "$out" tar.gz)
  listing=$out/listing.txt
  list_package "$package" >"$listing"
  echo "== $(basename "$package")"
  sed 's/^/     /' "$listing"

  local doc=share/doc/r7700update/
  for entry in bin/r7700-update bin/r7700-sim bin/r7700-make-sample-data \
    share/man/man1/r7700-update.1 share/man/man1/r7700-sim.1 share/man/man1/r7700-make-sample-data.1 \
    "${doc}README.md" "${doc}docs/simulator.md" \
    "${doc}docs/dialogue.md" "${doc}docs/troubleshooting.md" "${doc}docs/real-instrument.md" \
    "${doc}examples/product.ini" "${doc}examples/veskotdr.ini"; do
    check "holds $entry" has_entry "$listing" "$entry"
  done
  check "holds every docs/*.md" has_all_docs "$listing" "$doc"
  check "nothing outside bin/, share/man/man1/, $doc" \
    only_under "$listing" "^(bin/[^/]+|share/man/man1/[^/]+|share/doc/r7700update/.+)$"

  top=$(unpack "$package" "$out/unpacked")
  local program
  for program in r7700-update r7700-sim r7700-make-sample-data; do
    check "bin/$program is an executable ELF program" is_file_type "$top/bin/$program" '^ELF .*executable'
  done
  check "the package is named after version $version" has_version_name "$package"
  check "bin/r7700-update --version" output_is "r7700-update $version" "$top/bin/r7700-update" --version
  check "bin/r7700-update -V" output_is "r7700-update $version" "$top/bin/r7700-update" -V
  local man=$top/share/man/man1/r7700-update.1 sim_man=$top/share/man/man1/r7700-sim.1
  check "manual page header" file_has "$man" ".TH R7700-UPDATE 1 \"\" \"r7700-update $version\""
  check "r7700-sim manual page header" file_has "$sim_man" ".TH R7700-SIM 1 \"\" \"r7700-sim $version\""
  local page section option
  for page in "$man" "$sim_man"; do
    for section in NAME SYNOPSIS OPTIONS 'EXIT STATUS' ENVIRONMENT FILES EXAMPLES; do
      check "$(basename "$page") has $section" grep -qxE "\.SH $section" "$page"
    done
  done
  # Every option a program's --help names is explained in its page.
  for option in $(long_options "$top/bin/r7700-update"); do
    check "r7700-update.1 explains $option" file_has "$man" "${option//-/\\-}"
  done
  for option in $(long_options "$top/bin/r7700-sim"); do
    check "r7700-sim.1 explains $option" file_has "$sim_man" "${option//-/\\-}"
  done
  check "the packed programs update the simulated instrument" \
    packed_update "$top/bin" "$out/update"
}

# Languages only, small sample data, scaled time: the packed programs alone.
packed_update() { # bin-dir work-dir
  local bin=$1 work=$2 scale=0.1 pty="" status=0
  mkdir -p "$work"
  "$bin/r7700-make-sample-data" "$work/home" --small >"$work/sample.log" 2>&1 || return 1
  "$bin/r7700-sim" --time-scale "$scale" --state "$work/state.json" >"$work/sim.out" 2>"$work/sim.log" &
  local sim=$!
  for _ in $(seq 100); do
    if [[ $(wc -l <"$work/sim.out") -ge 1 ]]; then pty=$(head -n 1 "$work/sim.out"); break; fi
    sleep 0.1
  done
  if [[ -n "$pty" ]]; then
    R7700_TIME_SCALE=$scale "$bin/r7700-update" --port "$pty" --home "$work/home" \
      --lang English --lang Deutsch --no-firmware --yes >"$work/update.out" 2>"$work/update.err" ||
      status=$?
  else
    status=1
  fi
  for _ in $(seq 50); do kill -0 "$sim" 2>/dev/null || break; sleep 0.1; done
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  if ((status != 0)) || ! grep -q '"languages_valid": true' "$work/state.json" ||
    ! grep -q '"languages": \["English", "Deutsch"\]' "$work/state.json"; then
    echo "     r7700-update exit status $status; its output and the instrument's state:"
    sed 's/^/     | /' "$work/update.out" "$work/update.err" "$work/state.json" 2>/dev/null | tail -n 40
    return 1
  fi
}

# The package's files that dpkg knows as installed.
installed_files() {
  local entry
  dpkg-query -L r7700update 2>/dev/null | while read -r entry; do
    [[ -f "$entry" ]] && echo "$entry"
  done
}

not_installed() { [[ "$(dpkg-query -W -f='${db:Status-Status}' r7700update 2>/dev/null)" != installed ]]; }

# dpkg as root, its output in a log shown when it fails.
run_dpkg() { # log arguments...
  local log=$1
  shift
  "${as_root[@]}" dpkg "$@" >"$log" 2>&1 || { sed 's/^/     | /' "$log"; return 1; }
}

none_left() { # listing of files
  local file
  while read -r file; do [[ ! -e "$file" ]] || { echo "     left behind: $file"; return 1; }; done <"$1"
}

lintian_clean() { # package log
  lintian --fail-on error,warning "$1" >"$2" 2>&1 || { sed 's/^/     | /' "$2"; return 1; }
}

check_deb() { # native-build-dir
  local build out package
  as_root=()
  build=$(cd "$1" && pwd)
  out=$build/deb-check
  rm -rf "$out"
  mkdir -p "$out"
  [[ $(id -u) -eq 0 ]] || as_root=(sudo)
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; return 1; }
  package=$out/r7700update_${version}_amd64.deb
  echo "== $(basename "$package")"
  dpkg-deb -f "$package" Package Version Depends | sed 's/^/     /'
  check "the package is named after version $version" test -f "$package"
  check "lintian finds no error or warning" lintian_clean "$package" "$out/lintian.log"
  check "depends on the C and C++ runtime" \
    grep -qE 'libc6 .*libstdc\+\+6' <(dpkg-deb -f "$package" Depends)
  check "dpkg -i installs it" run_dpkg "$out/install.log" -i "$package"
  installed_files >"$out/installed.txt"
  for entry in /usr/bin/r7700-update /usr/bin/r7700-sim /usr/bin/r7700-make-sample-data \
    /usr/share/man/man1/r7700-update.1.gz /usr/share/man/man1/r7700-sim.1.gz \
    /usr/share/man/man1/r7700-make-sample-data.1.gz; do
    check "installs $entry" has_entry "$out/installed.txt" "$entry"
  done
  check "the installed r7700-update --version" output_is "r7700-update $version" \
    /usr/bin/r7700-update --version
  check "the installed programs update the simulated instrument" packed_update /usr/bin "$out/update"
  check "dpkg -r removes it" run_dpkg "$out/remove.log" -r r7700update
  check "dpkg knows it no longer" not_installed
  check "no file of it is left" none_left "$out/installed.txt"
}

check_windows() { # windows-build-dir native-build-dir
  local build native out package listing top
  build=$(cd "$1" && pwd)
  native=$(cd "$2" && pwd)
  out=$build/package-check
  package=$(make_package "$build" "$out" zip)
  listing=$out/listing.txt
  list_package "$package" >"$listing"
  echo "== $(basename "$package")"
  sed 's/^/     /' "$listing"

  for entry in r7700update.exe r7700-update.exe update-help.html product.ini data/lang.cfg \
    data/README.txt README.md docs/dialogue.md docs/troubleshooting.md docs/real-instrument.md \
    examples/product.ini examples/veskotdr.ini; do
    check "holds $entry" has_entry "$listing" "$entry"
  done
  check "holds every docs/*.md" has_all_docs "$listing" ""
  check "no Linux program in it" only_under "$listing" '^([^/]+\.(exe|html|ini|md)|(data|docs|examples)/[^/]+)$'

  top=$(unpack "$package" "$out/unpacked")
  check "r7700update.exe is a 64-bit Windows GUI program" \
    is_file_type "$top/r7700update.exe" '^PE32\+ executable \(GUI\) x86-64'
  check "r7700-update.exe is a 64-bit Windows console program" \
    is_file_type "$top/r7700-update.exe" '^PE32\+ executable \(console\) x86-64'
  check "r7700update.exe needs no runtime DLLs" imports_no_runtime_dlls "$top/r7700update.exe"
  check "r7700-update.exe needs no runtime DLLs" imports_no_runtime_dlls "$top/r7700-update.exe"
  check "update-help.html is the help page" file_has "$top/update-help.html" "<html"
  check "product.ini has [LanguageDefaults]" grep -qxF "[LanguageDefaults]" "$top/product.ini"
  check "product.ini has [ProductDefaults]" grep -qxF "[ProductDefaults]" "$top/product.ini"
  check "product.ini and data/lang.cfg agree" starts_without_message "$native" "$top" "$out"
}

# The native r7700-update on the unpacked folder: no numbered message at
# start-up (settings file found, catalogue read, every language of the
# settings file in it); the run then stops at the language files, which the
# package leaves to the firmware release. The firmware image is left out of
# the run because its absence would stop it before the languages are read.
starts_without_message() { # native-build-dir folder out-dir
  local status=0
  "$1/app/cli/r7700-update" --home "$2" --port "$3/no-such-port" --yes --no-firmware \
    >"$3/start.out" 2>"$3/start.err" || status=$?
  # The checks before the question stop at the first language file the zip
  # does not ship, which proves the catalogue was read and agreed with the
  # settings (no numbered message).
  if ((status == 3)) && grep -qF "$2/data/eng_mod1.bin: not found" "$3/start.err" &&
    ! grep -qE '^(ERROR|WARNING):' "$3/start.err"; then
    return 0
  fi
  echo "     exit status $status; its output:"
  sed 's/^/     | /' "$3/start.out" "$3/start.err"
  return 1
}

case ${1:-} in
  linux) (($# == 2)) || usage; check_linux "$2" ;;
  deb) (($# == 2)) || usage; check_deb "$2" ;;
  windows) (($# == 3)) || usage; check_windows "$2" "$3" ;;
  *) usage ;;
esac

if ((failures > 0)); then
  echo "check_package: $failures check(s) failed"
  exit 1
fi
echo "check_package: all checks passed"
