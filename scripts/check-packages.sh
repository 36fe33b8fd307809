#!/usr/bin/env bash
# Builds the release packages and checks them: the Linux .deb and .tar.gz in build/linux, the
# Windows ZIP in build/windows (when that tree is configured). Checks each one's file list, the
# .deb's fields and that its version is the module's, then unpacks the .deb into a scratch root
# (dpkg -x, nothing is installed into the machine) and runs one host cycle with the unpacked
# zeph_host, its default module and zeph_vcard on a private PC/SC stack (scripts/host-demo.sh in
# tests/support/realstack/run-in-namespace.sh). The manual pages (and the ZIP's text of
# zeph_host's) must name the options of the programs' --help; lintian must find no error and no
# warning in any .deb or .ddeb of the project.
#
#   check-packages.sh
set -euo pipefail
cd "$(dirname "$0")/.."
readonly root=$PWD
readonly name=zeph-pcsc-extension

work=$(mktemp -d /tmp/zeph-check-packages-XXXXXX)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "check-packages: FAILED: $*"
    failures=$((failures + 1))
}
ok() {
    echo "check-packages: ok: $*"
}

# Compares a listing with the expected one, both one path a line, in any order.
same_files() {
    local what=$1 expected=$2 actual=$3
    if diff <(sort <<<"$expected") <(sort <<<"$actual") >/dev/null; then
        ok "$what holds exactly the expected files"
    else
        fail "$what: files differ from the expected ones (< expected, > packaged)"
        diff <(sort <<<"$expected") <(sort <<<"$actual") || true
    fi
}

# The build tree's project version, the one the module's version resource or note carries.
project_version() {
    sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

# The option names (--name) a text mentions, one a line, sorted.
option_names() {
    grep -oE -- '--[a-z][a-z-]*' | sort -u
}

# The option names in a manual page's text (standard input) are the ones in `program --help`.
same_options() {
    local what=$1 program=$2
    local in_page in_help
    in_page=$(option_names)
    in_help=$("$program" --help | option_names)
    if [ -n "$in_help" ] && [ "$in_page" = "$in_help" ]; then
        ok "$what names the $(wc -l <<<"$in_help") options of $(basename "$program") --help"
    else
        fail "$what: options differ from $(basename "$program") --help (< page, > --help)"
        diff <(echo "$in_page") <(echo "$in_help") || true
    fi
}

# lintian on every Debian package of the project the Linux build made (.deb and .ddeb): any
# error or warning fails; overrides only from the package's own overrides file.
check_lintian() {
    local version=$1 package
    local packages=(build/linux/"$name"*_"$version"_*.deb build/linux/"$name"*_"$version"_*.ddeb)
    for package in "${packages[@]}"; do
        [ -f "$package" ] || continue
        if lintian --fail-on error,warning "$package" >"$work/lintian.log" 2>&1; then
            ok "lintian: $package: no errors, no warnings"
        else
            grep -v 'running with root privileges' "$work/lintian.log" || true
            fail "lintian: $package"
        fi
    done
}

# Builds the shipped targets only (cpack installs, it builds nothing), then the packages.
make_packages() {
    local preset=$1 generators=$2
    shift 2
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j 2 --target "$@" >/dev/null
    (cd "build/$preset" && cpack -G "$generators") >"$work/cpack-$preset.log" 2>&1 ||
        { cat "$work/cpack-$preset.log"; fail "cpack -G $generators in build/$preset"; }
}

# --- Linux
make_packages linux "DEB;TGZ" ZEPH_Ext_PcSc zeph_trace_system zeph_host zeph_vcard \
    zeph_manual_pages
version=$(project_version build/linux)
deb=build/linux/${name}_${version}_$(dpkg --print-architecture).deb
tgz=build/linux/$name-$version-Linux.tar.gz
shipped="bin/zeph_host
bin/zeph_vcard
lib/zeph/ZEPH_Ext_PcSc.so
lib/zeph/TpUmTraceSystem001_x64.so
share/doc/$name/README.md
share/doc/$name/registry.reg.example
share/doc/$name/copyright
share/doc/$name/changelog.gz
share/man/man1/zeph_host.1.gz
share/man/man1/zeph_vcard.1.gz"
for package in "$deb" "$tgz"; do
    [ -f "$package" ] || { fail "no $package"; }
done

if [ -f "$deb" ]; then
    same_files "$deb" "$(sed 's|^|usr/|' <<<"$shipped")" \
        "$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||')"
    [ "$(dpkg-deb -f "$deb" Package)" = "$name" ] || fail "the .deb's package name"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the .deb's version is not $version"
    dpkg-deb -f "$deb" Depends | grep -qE '(^|, )libpcsclite1($|,| )' ||
        fail "the .deb does not depend on libpcsclite1"
    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "the .deb names no maintainer"
    ok "$deb: $(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version), depends on $(dpkg-deb -f "$deb" Depends)"

    unpacked=$work/root
    dpkg -x "$deb" "$unpacked"

    # The manual pages and changelog follow the programs and the version.
    for program in zeph_host zeph_vcard; do
        same_options "man $program" "$unpacked/usr/bin/$program" < <(MANWIDTH=200 \
            man -E ascii -l "$unpacked/usr/share/man/man1/$program.1.gz" | col -bx)
    done
    zcat "$unpacked/usr/share/doc/$name/changelog.gz" | head -n 1 | grep -qF "$name ($version)" ||
        fail "the changelog's first entry is not $name ($version)"

    # The module's ELF version note: the signature, then file and product version as two
    # doublewords each (major.minor, patch.tweak), little-endian.
    IFS=. read -r major minor patch tweak _ <<<"$version.0.0.0"
    le16() { printf '%02x %02x' $(($1 & 255)) $(($1 >> 8)); }
    dwords="$(le16 "$minor") $(le16 "$major") $(le16 "$tweak") $(le16 "$patch")"
    note=$(readelf -n "$unpacked/usr/lib/zeph/ZEPH_Ext_PcSc.so" |
        sed -n '/\.note\.zeph\.version/,$s/.*description data: //p' | head -n 1 | xargs)
    if [ "$note" = "bd 04 ef fe $dwords $dwords" ]; then
        ok "the module's version note is the package's version $version"
    else
        fail "the module's version note \"$note\" is not $version"
    fi

    # The shipped example is the README's.
    awk '/^An example registry file for Linux:/ { found = 1; next }
         found && /^```$/ { if (inside) exit; inside = 1; next }
         inside { print }' README.md >"$work/readme.reg"
    if cmp -s "$work/readme.reg" "$unpacked/usr/share/doc/$name/registry.reg.example"; then
        ok "registry.reg.example is the README's example"
    else
        fail "registry.reg.example differs from the README's example"
    fi

    # One cycle on the real stack with what the .deb unpacked: the host finds the module in
    # ../lib/zeph/, the module the trace system stand-in beside itself (its trace shows it).
    length=$(printf '%02X' 27)  # "Hello from the virtual card"
    status=0
    tests/support/realstack/run-in-namespace.sh "$root/scripts/host-demo.sh" \
        --installed "$unpacked" --apdu 00A4000C023F00 --apdu 00A4020C022F01 \
        --apdu "00B00000$length" --cycles 1 --trace info >"$work/demo.log" 2>&1 || status=$?
    if [ "$status" -eq 77 ]; then
        echo "check-packages: skipped the host cycle: $(tail -n 1 "$work/demo.log")"
    elif [ "$status" -ne 0 ]; then
        cat "$work/demo.log"
        fail "the host cycle with the unpacked .deb (status $status)"
    elif ! grep -qF "module   $unpacked/usr/bin/../lib/zeph/ZEPH_Ext_PcSc.so" "$work/demo.log"; then
        cat "$work/demo.log"
        fail "the unpacked zeph_host did not take the unpacked module"
    elif ! grep -qF '= "Hello from the virtual card"' "$work/demo.log"; then
        cat "$work/demo.log"
        fail "the host cycle did not read the card's file"
    elif ! grep -qE 'host  \| module  .* INFO ZEPH\.Ext\.PcSc ' "$work/demo.log"; then
        cat "$work/demo.log"
        fail "no trace of the module: it did not find the trace system stand-in beside itself"
    else
        ok "the unpacked zeph_host ran a cycle with its module on the private PC/SC stack"
    fi
fi

check_lintian "$version"

if [ -f "$tgz" ]; then
    same_files "$tgz" "$(sed "s|^|$name-$version-Linux/|" <<<"$shipped")" \
        "$(tar -tzf "$tgz" | grep -v '/$')"
fi

# --- Windows: the ZIP, when the Windows build tree is there (scripts/run-tests.sh builds it)
if [ -f build/windows/CMakeCache.txt ]; then
    make_packages windows ZIP ZEPH_Ext_PcSc zeph_trace_system zeph_host zeph_manual_pages
    version=$(project_version build/windows)
    zip=build/windows/$name-$version-win64.zip
    if [ -f "$zip" ]; then
        same_files "$zip" "$(printf "%s\n" ZEPH_Ext_PcSc.dll TpUmTraceSystem001_x64.dll \
            zeph_host.exe README.md zeph_host.txt | sed "s|^|$name-$version-win64/|")" \
            "$(cmake -E tar tf "$zip" | grep -v '/$')"
        # The page's text, made under Wine from zeph_host.exe, against the Linux zeph_host.
        (cd "$work" && cmake -E tar xf "$root/$zip")
        if [ -n "${unpacked:-}" ]; then
            same_options "zeph_host.txt of the ZIP" "$unpacked/usr/bin/zeph_host" \
                <"$work/$name-$version-win64/zeph_host.txt"
        fi
    else
        fail "no $zip"
    fi
else
    echo "check-packages: no Windows build tree (build/windows): no ZIP checked"
fi

for package in "$deb" "$tgz" ${zip:+"$zip"}; do
    if [ -f "$package" ]; then
        echo "check-packages: $(du -k "$package" | cut -f1) KiB  $package"
    fi
done
[ "$failures" -eq 0 ] || { echo "check-packages: $failures failed"; exit 1; }
echo "check-packages: all packages good"
