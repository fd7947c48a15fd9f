#!/bin/bash
# scripts/apt-install against a stand-in apt-get and dpkg-query first on
# PATH: a mirror whose `apt-get update` fails, installs that fail and then
# work, and an optional package recorded as not installable.
#   apt_install_test.sh APT_INSTALL WORK_DIR
set -uo pipefail
apt_install=$(realpath "$1") work=$2
rm -rf "$work"
mkdir -p "$work/bin" "$work/installed"
export PATH=$work/bin:$PATH ORVIK_APT_STATE=$work/state ORVIK_APT_DELAYS="0 0" FAKE=$work

cat >"$work/bin/dpkg-query" <<'EOS'
#!/bin/bash
[[ -e $FAKE/installed/${@: -1} ]] && echo -n 'install ok installed'
EOS
# update: always fails, as with an index in mid-sync. install: the next
# word of $FAKE/results decides (ok: installs the packages).
cat >"$work/bin/apt-get" <<'EOS'
#!/bin/bash
args=("$@")
for ((i = 0; i < ${#args[@]}; ++i)); do
    case ${args[i]} in
        update) echo update >>"$FAKE/calls"; echo "E: Failed to fetch ... Mirror sync in progress?" >&2; exit 100 ;;
        install) echo install >>"$FAKE/calls"; break ;;
    esac
done
read -r result rest <"$FAKE/results"; echo "$rest" >"$FAKE/results"
[[ $result == ok ]] || { echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100; }
for p in "${args[@]:i+1}"; do [[ $p == -* ]] || touch "$FAKE/installed/$p"; done
EOS
chmod +x "$work/bin/"*

faults=0
# name | installed before | install results | apt-install arguments | extra environment
#      | exit code | updates,installs | text on stderr
while IFS='|' read -r name before results args env code calls text; do
    rm -rf "$work/installed"/* "$work/calls"
    for p in $before; do touch "$work/installed/$p"; done
    echo "$results" >"$work/results"
    [[ $name == *aged* ]] && touch -d '2 days ago' "$work/state"/unavailable-*
    err=$(env $env "$apt_install" $args 2>&1 >/dev/null)
    rc=$?
    got="$(grep -c update "$work/calls" 2>/dev/null || echo 0),$(grep -c install "$work/calls" 2>/dev/null || echo 0)"
    if [[ $rc != "$code" || $got != "$calls" || $err != *"$text"* ]]; then
        echo "FAIL $name: exit $rc (want $code), updates,installs $got (want $calls), stderr:"
        echo "$err"
        ((++faults))
    fi
done <<'ROWS'
all installed: no apt-get at all|a b||a b||0|0,0|
a failing update does not decide|a|ok|a b||0|1,1|installing b
a failed install is tried again|a|fail ok|a b||0|2,2|trying again
a required package that never comes|a|fail fail fail|a b||1|3,3|could not install b
an optional one that never comes is recorded|a|fail fail fail|--optional a wine32:i386||3|3,3|
then the record holds the mirror off|a||--optional a wine32:i386||3|0,0|
but not when asked to try again|a|ok|--optional a wine32:i386|ORVIK_APT_RETRY=1|0|1,1|
which cleared the record|a|ok|--optional wine32:i386||0|1,1|
recorded again (fails)|a|fail fail fail|--optional wine32:i386||3|3,3|
and a day later, tried again (aged)|a|ok|--optional wine32:i386||0|1,1|
ROWS
exit $((faults > 0))
