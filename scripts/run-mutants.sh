#!/usr/bin/env bash
# The mutation check: which faults in src/ the tests catch. Each mutant of tests/mutants.txt is
# one small change to a file under src/. The script copies the working tree (without build/) to
# build/mutants/tree, builds the copy once in build/mutants/build, and then for each mutant:
# puts the change into the copy, rebuilds only the programs its tests run, runs those tests
# through ctest, puts the file back. A mutant is killed when a test fails (or runs past the time
# limit), survives when all pass, and is a bad mutant when the change does not build. The working
# tree is only read. Not part of CI; Linux only (Windows-only sources cannot be mutated here).
#
#   scripts/run-mutants.sh [--only ID-OR-REGEX] [--keep-going] [--timeout SECONDS] [--wide] [--list]
#
# The build: CMAKE_BUILD_TYPE=Debug with -O1 -g1, no benchmarks. A mutant rebuild compiles one or
# two files and links the few programs it needs; -O1 compiles several times faster than the
# linux preset's -O3, keeps the code optimised enough for the timing of the race tests, and the
# smaller debug information of -g1 shortens every link. No build type defines NDEBUG differently
# for src/, which has no assert().
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
list_file=$root/tests/mutants.txt
work=$root/build/mutants
tree=$work/tree
build=$work/build
jobs=2
test_timeout=60
only=""
keep_going=0
wide=0
list_only=0

usage() {
    sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
    cat <<'EOF'
Options:
  --only ID-OR-REGEX   run the mutant with this id, or every mutant whose id matches the regex
  --keep-going         record a bad mutant (original text not found once, no build) and go on;
                       without it the run stops at the first one, as the list needs fixing
  --timeout SECONDS    time limit of each test (default 60); a mutant that runs past it is
                       killed by the timeout (the real-stack programs keep their own 300 s)
  --wide               run every test of the suite against each mutant, not only its own (all
                       programs are relinked each time): shows whether a survivor is caught
                       anywhere
  --list               print the mutants and exit, each original text checked against the tree
EOF
}

while [ $# -gt 0 ]; do
    case $1 in
        --only) only=${2:?--only needs an id or a regex}; shift 2 ;;
        --keep-going) keep_going=1; shift ;;
        --timeout) test_timeout=${2:?--timeout needs seconds}; shift 2 ;;
        --wide) wide=1; shift ;;
        --list) list_only=1; shift ;;
        -h | --help) usage; exit 0 ;;
        *) echo "unknown option: $1" >&2; usage >&2; exit 2 ;;
    esac
done

# --- the list -------------------------------------------------------------------------------
# Records of "key: value" lines separated by blank lines; "#" starts a comment line; "@NAME = text"
# defines a text that @NAME stands for in the tests and gtest values of the records after it. In
# from and to, "\n" is a line break and "\\" a backslash.
ids=() files=() froms=() tos=() selectors=() filters=() whats=()
declare -A definitions=()

unescape() {
    local value=${1//\\\\/$'\x01'}
    value=${value//\\n/$'\n'}
    printf '%s' "${value//$'\x01'/\\}"
}

expand() {
    local text=$1 name
    # Longest names first, so that a name that begins another does not replace part of it.
    for name in $(printf '%s\n' "${!definitions[@]}" | awk '{ print length, $0 }' | sort -rn |
        cut -d' ' -f2); do
        text=${text//@$name/${definitions[$name]}}
    done
    printf '%s' "$text"
}

declare -A record=()
end_record() {
    [ ${#record[@]} -eq 0 ] && return
    local key
    for key in id file from to tests what; do
        if [ -z "${record[$key]+set}" ]; then
            echo "$list_file: mutant ${record[id]-?} has no $key" >&2
            exit 2
        fi
    done
    ids+=("${record[id]}") files+=("${record[file]}") selectors+=("$(expand "${record[tests]}")")
    froms+=("$(unescape "${record[from]}")") tos+=("$(unescape "${record[to]}")")
    filters+=("$(expand "${record[gtest]-}")") whats+=("${record[what]}")
    record=()
}

read_list() {
    local line key
    while IFS= read -r line || [ -n "$line" ]; do
        if [[ $line =~ ^[[:space:]]*$ ]]; then
            end_record
        elif [[ $line =~ ^@([A-Za-z_]+)[[:space:]]*=[[:space:]]*(.*)$ ]]; then
            definitions[${BASH_REMATCH[1]}]=${BASH_REMATCH[2]}
        elif [[ $line =~ ^([a-z]+):[[:space:]]?(.*)$ ]]; then
            key=${BASH_REMATCH[1]}
            record[$key]=${BASH_REMATCH[2]}
            if [ "$key" != from ] && [ "$key" != to ]; then
                record[$key]=${record[$key]#"${record[$key]%%[![:space:]]*}"}
            fi
        elif [[ ! $line =~ ^# ]]; then
            echo "$list_file: cannot read: $line" >&2
            exit 2
        fi
    done <"$list_file"
    end_record
    local duplicate
    duplicate=$(printf '%s\n' "${ids[@]}" | sort | uniq -d | head -n 1)
    [ -z "$duplicate" ] || { echo "$list_file: id $duplicate twice" >&2; exit 2; }
}

selected() {
    [ -z "$only" ] || [ "$1" = "$only" ] || [[ $1 =~ $only ]]
}

# The list with a check of each original text against the working tree: "ok", or how often the
# text occurs when that is not once.
print_list() {
    local i count status=0 mark
    printf '%-21s %-42s %-6s %s\n' ID FILE TEXT WHAT
    for i in "${!ids[@]}"; do
        selected "${ids[$i]}" || continue
        count=0
        [ -f "$root/${files[$i]}" ] && count=$(occurrences "$root/${files[$i]}" "${froms[$i]}")
        mark=ok
        [ "$count" = 1 ] || { mark="x$count"; status=2; }
        printf '%-21s %-42s %-6s %s\n' "${ids[$i]}" "${files[$i]#src/}" "$mark" "${whats[$i]}"
    done
    return $status
}

# --- the private tree and its build ---------------------------------------------------------
# Files that differ are copied with a new time stamp, so that the build sees every change,
# also a mutant an interrupted run left behind.
sync_tree() {
    local path
    mkdir -p "$tree"
    while IFS= read -r -d '' path; do
        [ -f "$root/$path" ] || continue
        if ! cmp -s "$root/$path" "$tree/$path"; then
            mkdir -p "$(dirname "$tree/$path")"
            cp "$root/$path" "$tree/$path"
        fi
    done < <(git -C "$root" ls-files -z --cached --others --exclude-standard)
    (cd "$tree" && find . -type f -print0) | while IFS= read -r -d '' path; do
        [ -e "$root/$path" ] || rm -f "$tree/$path"
    done
}

configure_and_build() {
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
            "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" "-DCMAKE_C_FLAGS_DEBUG=-O1 -g1" \
            -DZEPH_BUILD_BENCH=OFF >"$work/configure.log" 2>&1 ||
            { tail -n 20 "$work/configure.log"; exit 1; }
    fi
    echo "building the copy once (build/mutants/build, log build/mutants/build.log)"
    if ! ninja -C "$build" -j "$jobs" >"$work/build.log" 2>&1; then
        tail -n 30 "$work/build.log"
        exit 1
    fi
}

# The outputs of the build that a selector's tests run (programs, and the module they load),
# relative to the build tree, as ninja names them. Building a program also builds what it was
# made to depend on (the children it starts, the module and tools of the real-stack programs).
declare -A target_cache=()
targets_of() {
    local selector=$1 word
    if [ -z "${target_cache[$selector]+set}" ]; then
        local -a args
        read -r -a args <<<"$selector"
        target_cache[$selector]=$(cd "$build" && ctest -N -V "${args[@]}" 2>/dev/null |
            sed -n 's/^[0-9]*: Test command: //p' | tr ' ' '\n' | tr -d '"' |
            while read -r word; do
                [[ $word == "$build"/* && -f $word && -x $word ]] && echo "${word#"$build"/}"
            done | sort -u | tr '\n' ' ')
    fi
    printf '%s' "${target_cache[$selector]}"
}

# Runs a selector's tests and sets `outcome`: killed, killed-timeout or survived. The first
# failing test ends the run (a mutant that hangs many tests costs one time limit). The discovered
# test lists are brought up to date first without GTEST_FILTER, which would otherwise shorten
# them.
outcome=""
run_selector() {
    local selector=$1 filter=$2 log=$3 status=0
    local -a args
    read -r -a args <<<"$selector"
    (cd "$build" && ctest -N "${args[@]}" >/dev/null 2>&1) || true
    (
        cd "$build"
        [ -z "$filter" ] || export GTEST_FILTER=$filter
        timeout --kill-after=10 $((test_timeout * 4 + 300)) \
            ctest --no-tests=error --output-on-failure --stop-on-failure -j "$jobs" \
                --timeout "$test_timeout" "${args[@]}"
    ) >>"$log" 2>&1 || status=$?
    if [ $status -eq 0 ]; then
        outcome=survived
    elif [ $status -eq 124 ] || grep -q -E '\*\*\*Timeout' "$log"; then
        outcome="killed-timeout"
    else
        outcome=killed
    fi
}

# --- one mutant -------------------------------------------------------------------------------
mutated_file=""
restore() {
    if [ -n "$mutated_file" ]; then
        cp "$work/original" "$tree/$mutated_file"
        mutated_file=""
    fi
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

# Number of occurrences of the text in the file: 0, 1 or 2 (two or more).
occurrences() {
    local content rest
    content=$(cat "$1"; printf x)
    rest=${content#*"$2"}
    if [ "$rest" = "$content" ]; then
        echo 0
    elif [[ $rest == *"$2"* ]]; then
        echo 2
    else
        echo 1
    fi
}

apply_mutant() {
    local file=$tree/$1 from=$2 to=$3 content
    cp "$file" "$work/original"
    content=$(cat "$file"; printf x)
    content=${content%x}
    mutated_file=$1
    printf '%s' "${content/"$from"/"$to"}" >"$file"
}

# The ctest selector and GTEST_FILTER a mutant runs with: its own, or with --wide the whole suite.
selector_of() {
    if [ $wide -eq 0 ]; then
        printf '%s' "${selectors[$1]}"
    fi
}

filter_of() {
    if [ $wide -eq 0 ]; then
        printf '%s' "${filters[$1]}"
    fi
}

# Runs mutant $1 and sets `result` and its times in seconds, `built` and `tested`.
result="" built=0 tested=0
run_mutant() {
    local i=$1 log=$logs/${ids[$1]}.log start targets
    : >"$log"
    built=0 tested=0
    if [ "$(occurrences "$tree/${files[$i]}" "${froms[$i]}")" != 1 ]; then
        echo "original text not found exactly once" >>"$log"
        result="bad-text"
        return
    fi
    start=$SECONDS
    apply_mutant "${files[$i]}" "${froms[$i]}" "${tos[$i]}"
    targets=""
    [ $wide -eq 1 ] || targets=$(targets_of "${selectors[$i]}")
    # shellcheck disable=SC2086 # a list of targets; none builds everything
    if ! ninja -C "$build" -j "$jobs" $targets >>"$log" 2>&1; then
        restore
        built=$((SECONDS - start))
        result=did-not-build
        return
    fi
    built=$((SECONDS - start))
    start=$SECONDS
    run_selector "$(selector_of "$i")" "$(filter_of "$i")" "$log"
    restore
    tested=$((SECONDS - start))
    result=$outcome
}

# --- the run ------------------------------------------------------------------------------------
baseline() {
    local -A seen=()
    local i key log=$logs/baseline.log targets
    : >"$log"
    for i in "${!ids[@]}"; do
        selected "${ids[$i]}" || continue
        key="$(selector_of "$i")|$(filter_of "$i")"
        [ -z "${seen[$key]+set}" ] || continue
        seen[$key]=1
        if [ $wide -eq 0 ]; then
            targets=$(targets_of "${selectors[$i]}")
            [ -n "$targets" ] || { echo "no test program for: ${selectors[$i]}" >&2; exit 2; }
        fi
        run_selector "$(selector_of "$i")" "$(filter_of "$i")" "$log"
        if [ "$outcome" != survived ]; then
            echo "the unmutated tree fails: ${key%|} (${logs#"$root"/}/baseline.log)" >&2
            exit 1
        fi
    done
}

# One line of the table: id, file below src/, result, build and test time, what the mutant
# models, and the tests it ran (ctest selector, gtest filter).
row() {
    printf '%-21s %-40s %-14s %5s %5s  %s  [%s%s]\n' "$1" "$2" "$3" "$4" "$5" "$6" \
        "${7:-whole suite}" "${8:+ $8}"
}

main() {
    read_list
    if [ $list_only -eq 1 ]; then
        print_list
        return
    fi
    local i total_start=$SECONDS killed=0 survived=0 bad=0
    logs=$work/logs
    [ $wide -eq 0 ] || logs=$work/logs-wide
    mkdir -p "$logs"
    sync_tree
    configure_and_build
    echo "checking that the selected tests pass on the unmutated tree"
    baseline
    local table=$work/results.txt
    [ $wide -eq 0 ] || table=$work/results-wide.txt
    row ID FILE RESULT BUILD TESTS WHAT "TESTS RUN" "" >"$table"
    for i in "${!ids[@]}"; do
        selected "${ids[$i]}" || continue
        run_mutant "$i"
        case $result in
            killed | killed-timeout) killed=$((killed + 1)) ;;
            survived) survived=$((survived + 1)) ;;
            *) bad=$((bad + 1)) ;;
        esac
        row "${ids[$i]}" "${files[$i]#src/}" "$result" "${built}s" "${tested}s" "${whats[$i]}" \
            "$(selector_of "$i")" "$(filter_of "$i")" | tee -a "$table"
        if [[ $result == bad-text || $result == did-not-build ]] && [ $keep_going -eq 0 ]; then
            echo "bad mutant ${ids[$i]} (${logs#"$root"/}/${ids[$i]}.log): fix the list," \
                "or go on with --keep-going" >&2
            exit 2
        fi
    done
    local valid=$((killed + survived))
    {
        echo "score: $killed killed of $valid valid mutants ($survived survived, $bad bad)"
        echo "time: $(((SECONDS - total_start) / 60)) min $(((SECONDS - total_start) % 60)) s"
    } | tee -a "$table"
    [ $bad -eq 0 ] || exit 2
    [ $survived -eq 0 ] || exit 1
}

main
