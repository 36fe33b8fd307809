#!/usr/bin/env bash
# Builds the release packages and checks them: the Linux .deb and .tar.gz in build/linux, the
# Windows ZIP in build/windows (when that tree is configured). Checks each one's file list, the
# .deb's fields and that its version is the module's, then installs the .deb and its debug-symbols
# package into a scratch root (dpkg --root, nothing is installed into the machine) and runs one
# host cycle with the installed zeph_host, its default module and zeph_vcard on a private PC/SC
# stack (scripts/host-demo.sh in tests/support/realstack/run-in-namespace.sh). The manual pages (and the ZIP's text of
# zeph_host's) must name the options of the programs' --help; lintian must find no error and no
# warning in any .deb or .ddeb of the project.
#
# The debug information beside them: the .deb's debug-symbols package holds one debug file per
# shipped ELF binary, found by its build id; the Windows symbols ZIP one per shipped .dll and .exe,
# named with its checksum by the binary's debug link. A dump that the stripped module wrote (the C
# host test, abi_vtable_test, reading the module's own attribute into a bad pointer) is read by
# lldb-14 with those files, on Linux and under Wine 8, and must name the faulting function.
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

# --- The debug information (README, "Reading a user's dump")

# The build id of an ELF file, in hexadecimal.
build_id() {
    readelf -n "$1" 2>/dev/null | sed -n 's/^ *Build ID: //p'
}

# Installs the packages with dpkg into the scratch root ROOT (their dependencies are the machine's,
# not the root's) and verifies every installed file against the packages' checksums.
install_into() {
    local scratch=$1
    shift
    mkdir -p "$scratch/var/lib/dpkg/info" "$scratch/var/lib/dpkg/updates"
    touch "$scratch/var/lib/dpkg/status"
    if dpkg --root="$scratch" --force-depends -i "$@" >"$work/dpkg.log" 2>&1 &&
        dpkg --root="$scratch" --verify; then
        ok "dpkg installed and verified $(basename -a "$@" | xargs)"
    else
        cat "$work/dpkg.log"
        fail "dpkg could not install and verify $*"
    fi
}

# Each shipped ELF binary below TREE is stripped, and TREE/usr/lib/debug (the debug-symbols
# package installed there) holds its debug information under its build id, and nothing else but
# the link of its documentation to the main package's.
check_debug_symbols_package() {
    local dbgsym=$1 tree=$2 binary id debug expected="usr/share/doc/$name-dbgsym"$'\n'
    local before=$failures
    [ "$(dpkg-deb -f "$dbgsym" Package)" = "$name-dbgsym" ] || fail "$dbgsym: its package name"
    [ "$(dpkg-deb -f "$dbgsym" Depends)" = "$name (= $version)" ] ||
        fail "$dbgsym does not depend on exactly $name $version"
    for binary in "$tree"/usr/bin/* "$tree"/usr/lib/zeph/*.so; do
        id=$(build_id "$binary")
        debug=usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug
        expected+="$debug"$'\n'
        if [ -z "$id" ] || [ ! -f "$tree/$debug" ]; then
            fail "no debug file for ${binary#"$tree"/} (build id \"$id\")"
        elif [ "$(build_id "$tree/$debug")" != "$id" ] ||
            ! readelf -S "$tree/$debug" 2>/dev/null | grep -q '\.debug_info'; then
            fail "$debug is not the debug information of ${binary#"$tree"/}"
        elif readelf -S "$binary" | grep -qE '\.(debug_info|symtab) '; then
            fail "${binary#"$tree"/} is not stripped"
        fi
    done
    [ "$failures" -ne "$before" ] ||
        ok "each ELF binary of the .deb is stripped, its debug file found by its build id"
    same_files "$dbgsym" "${expected%$'\n'}" \
        "$(dpkg-deb --fsys-tarfile "$dbgsym" | tar -t | grep -v '/$' | sed 's|^\./||')"
}

# The tarball's binaries are stripped alike: the debug-symbols package below DEBUG serves them too.
check_tarball_debug_files() {
    local tgz=$1 debug=$2 binary id missing=""
    mkdir -p "$work/tgz"
    tar -xzf "$tgz" -C "$work/tgz"
    for binary in "$work"/tgz/*/bin/* "$work"/tgz/*/lib/zeph/*.so; do
        id=$(build_id "$binary")
        if [ -z "$id" ] || [ ! -f "$debug/.build-id/${id:0:2}/${id:2}.debug" ]; then
            missing+=" ${binary##*/}"
        fi
    done
    if [ -z "$missing" ]; then
        ok "the debug-symbols package holds the debug files of the tarball's binaries"
    else
        fail "no debug file in the debug-symbols package for the tarball's$missing"
    fi
}

# The debug link of a PE binary: the file name, then (after padding) the file's CRC-32 as four
# bytes, little-endian, printed as "NAME CRC" with the CRC in hexadecimal bytes.
debug_link() {
    local section=$work/debuglink
    rm -f "$section"
    x86_64-w64-mingw32-objcopy --dump-section .gnu_debuglink="$section" "$1" "$work/objcopy.out" \
        2>/dev/null || return 0
    echo "$(tr '\0' '\n' <"$section" | head -n 1) $(tail -c 4 "$section" | od -An -tx1 | tr -d ' ')"
}

# The CRC-32 a debug link carries, of a whole file: gzip's trailer holds it, little-endian.
file_crc() {
    gzip -c "$1" | tail -c 8 | head -c 4 | od -An -tx1 | tr -d ' '
}

# Each shipped .dll and .exe in DIR is stripped and links to a debug file in SYMBOLS with that
# file's checksum; the symbols ZIP holds those debug files below SYMBOLS and nothing else.
check_symbols_zip() {
    local zip=$1 dir=$2 symbols=$3 binary link crc expected="" before=$failures
    for binary in "$dir"/*.dll "$dir"/*.exe; do
        read -r link crc <<<"$(debug_link "$binary")"
        expected+="${symbols##*/}/$link"$'\n'
        if [ -z "$link" ]; then
            fail "${binary##*/} has no debug link"
        elif [ ! -f "$symbols/$link" ] || [ "$(file_crc "$symbols/$link")" != "$crc" ]; then
            fail "${binary##*/} links to $link, not in the symbols ZIP with that checksum"
        elif x86_64-w64-mingw32-objdump -h "$binary" | grep -q '\.debug_info'; then
            fail "${binary##*/} is not stripped"
        fi
    done
    [ "$failures" -ne "$before" ] ||
        ok "each binary of the ZIP is stripped and links to its debug file"
    same_files "$zip" "${expected%$'\n'}" "$(cmake -E tar tf "$zip" | grep -v '/$')"
}

# lldb-14's view of DUMP, with further lldb arguments: the stop reason and the backtrace.
lldb_backtrace() {
    local dump=$1
    shift
    lldb-14 --batch "$@" -c "$dump" -o 'thread list' -o bt </dev/null 2>/dev/null
}

# Whether lldb's backtrace names the faulting function in MODULE; prints it when not.
names_the_fault() {
    local what=$1 module=$2 stop=$3 shown=$4
    if grep -qF "stop reason = $stop" <<<"$shown" &&
        grep -qE "frame #[0-9]+: .*$module\`CZephExtensionPcSc::CopyReaderName" <<<"$shown"; then
        ok "lldb-14 names the faulting function of $what"
    else
        echo "$shown"
        fail "lldb-14 does not name the faulting function of $what"
    fi
}

# The newest dump below DIR that is newer than the file MARK.
new_dump() {
    find "$1" -name '*_AppCrashDump_*.dmp.txt' -newer "$2" -printf '%T@ %p\n' | sort -n |
        tail -n 1 | cut -d ' ' -f 2-
}

# A dump the stripped module of the installed .deb writes, read with the installed debug files.
read_linux_dump() {
    local tree=$1 dump module=ZEPH_Ext_PcSc.so
    mkdir -p "$work/state"
    touch "$work/state/mark"
    XDG_STATE_HOME=$work/state build/linux/tests/abi/abi_vtable_test \
        "$tree/usr/lib/zeph/$module" fault >"$work/fault.log" 2>&1 ||
        { cat "$work/fault.log"; fail "the C host's fault in the unpacked module"; return; }
    dump=$(new_dump "$work/state" "$work/state/mark")
    [ -n "$dump" ] || { fail "the unpacked module wrote no dump"; return; }
    names_the_fault "a Linux dump with the debug-symbols package" "$module" "signal SIGSEGV" \
        "$(lldb_backtrace "$dump" \
            -O "settings set target.debug-file-search-paths $tree/usr/lib/debug")"
}

# A dump the DLL of the unpacked ZIP writes under Wine 8 (dbghelp's MiniDumpWriteDump), read with
# the DLL's debug file from the symbols ZIP. lldb-14 reads the minidump but follows no debug link
# of a PE file: the debug file is added to the module by hand, the one the link names. It unwinds
# the fault's frame, in Wine's msvcrt.dll (memcpy), with Wine's own PE libraries.
read_windows_dump() {
    local dir=$1 symbols=$2 dump link status=0 module=ZEPH_Ext_PcSc.dll
    local wine_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
    # The build tree's prefix and its own wineserver (a running one is taken as it is), stopped
    # after the one run.
    # shellcheck source=scripts/wine-prepare.sh
    . scripts/wine-prepare.sh build/windows || true
    touch "$work/mark"
    scripts/wine-run.sh "$root/build/windows/tests/abi/abi_vtable_test.exe" "Z:$dir/$module" fault \
        >"$work/wine-fault.log" 2>&1 || status=$?
    wine_stop
    [ "$status" -eq 0 ] ||
        { cat "$work/wine-fault.log"; fail "the C host's fault in the DLL under Wine"; return; }
    dump=$(new_dump "$WINEPREFIX/drive_c/users" "$work/mark")
    [ -n "$dump" ] || { fail "the unpacked DLL wrote no dump under Wine"; return; }
    read -r link _ <<<"$(debug_link "$dir/$module")"
    names_the_fault "a Wine dump with the symbols ZIP" "$module" "Exception 0xc0000005" \
        "$(lldb_backtrace "$dump" -O "settings set target.exec-search-paths $dir $wine_dlls" \
            -o "target symbols add -s $module $symbols/$link")"
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
    zeph_manual_pages abi_vtable_test
version=$(project_version build/linux)
deb=build/linux/${name}_${version}_$(dpkg --print-architecture).deb
dbgsym=build/linux/${name}-dbgsym_${version}_$(dpkg --print-architecture).ddeb
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
for package in "$deb" "$dbgsym" "$tgz"; do
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
    packages=("$deb")
    if [ -f "$dbgsym" ]; then packages+=("$dbgsym"); fi
    install_into "$unpacked" "${packages[@]}"
    if [ -f "$dbgsym" ]; then
        check_debug_symbols_package "$dbgsym" "$unpacked"
        read_linux_dump "$unpacked"
    fi

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
        ok "the installed zeph_host ran a cycle with its module on the private PC/SC stack"
    fi
fi

check_lintian "$version"

if [ -f "$tgz" ]; then
    same_files "$tgz" "$(sed "s|^|$name-$version-Linux/|" <<<"$shipped")" \
        "$(tar -tzf "$tgz" | grep -v '/$')"
    [ -d "$work/root/usr/lib/debug" ] && check_tarball_debug_files "$tgz" "$work/root/usr/lib/debug"
fi

# --- Windows: the ZIP, when the Windows build tree is there (scripts/run-tests.sh builds it)
if [ -f build/windows/CMakeCache.txt ]; then
    make_packages windows ZIP ZEPH_Ext_PcSc zeph_trace_system zeph_host zeph_manual_pages \
        abi_vtable_test
    version=$(project_version build/windows)
    zip=build/windows/$name-$version-win64.zip
    symbols_zip=build/windows/$name-$version-win64-symbols.zip
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
    if [ -f "$zip" ] && [ -f "$symbols_zip" ]; then
        (mkdir -p "$work/win" && cd "$work/win" && cmake -E tar xf "$root/$zip" &&
            cmake -E tar xf "$root/$symbols_zip")
        check_symbols_zip "$symbols_zip" "$work/win/$name-$version-win64" \
            "$work/win/$name-$version-win64-symbols"
        read_windows_dump "$work/win/$name-$version-win64" "$work/win/$name-$version-win64-symbols"
    else
        fail "no $symbols_zip"
    fi
else
    echo "check-packages: no Windows build tree (build/windows): no ZIP checked"
fi

for package in "$deb" "$dbgsym" "$tgz" ${zip:+"$zip"} ${symbols_zip:+"$symbols_zip"}; do
    if [ -f "$package" ]; then
        echo "check-packages: $(du -k "$package" | cut -f1) KiB  $package"
    fi
done
[ "$failures" -eq 0 ] || { echo "check-packages: $failures failed"; exit 1; }
echo "check-packages: all packages good"
