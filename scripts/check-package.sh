#!/usr/bin/env bash
# Builds the Debian package and checks it as a user would meet it: what it holds,
# what it depends on, that its manual pages render cleanly, what lintian says,
# and, where the machine can make a fresh Debian root with debootstrap, that it
# installs there, runs, stops the orderly way on SIGTERM and removes without a
# trace. Any failed check ends the script with status 1 after the others have
# run; lintian warnings are listed but tolerated.
#
# Environment:
#   SWIPETYPE_CHECK_INSTALL=0   skip the install into a fresh root
#   SWIPETYPE_CHECK_CACHE=DIR   where the fresh root's base tarball is kept
#                               between runs (default /var/cache/swipetype-check)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

PACKAGE_DIR=${PACKAGE_DIR:-build-package}
CACHE_DIR=${SWIPETYPE_CHECK_CACHE:-/var/cache/swipetype-check}
CACHE_DAYS=7
failures=0
started=$SECONDS
work=$(mktemp -d /var/tmp/swipetype-check.XXXXXX)
trap 'rm -rf --one-file-system "$work"' EXIT

say() { printf 'check-package: %s\n' "$*"; }
fail() {
    printf 'check-package: FAIL: %s\n' "$*" >&2
    failures=$((failures + 1))
}
step() { printf '\ncheck-package: == %s (%ds)\n' "$*" $((SECONDS - started)); }

# --- Build ------------------------------------------------------------------
step "building the package"
if ! make package PACKAGE_DIR="$PACKAGE_DIR" >"$work/build.log" 2>&1; then
    tail -40 "$work/build.log" >&2
    fail "make package failed (log above)"
    exit 1
fi
debs=("$PACKAGE_DIR"/swipetype_*.deb)
if ((${#debs[@]} != 1)) || [[ ! -f ${debs[0]} ]]; then
    fail "expected one swipetype_*.deb in $PACKAGE_DIR, found: ${debs[*]}"
    exit 1
fi
deb=${debs[0]}
say "built $deb ($(stat -c %s "$deb") bytes)"

# --- Contents ---------------------------------------------------------------
step "contents"
dpkg-deb --contents "$deb" >"$work/contents"
# Regular files as paths without the leading "./".
awk '$1 ~ /^-/ {sub(/^\.\//, "", $6); print $6}' "$work/contents" | sort >"$work/files"
cat "$work/files"
# The modules the program loads when it uses them: the desktop front end and the
# key sinks with X or evdev libraries behind them.
libdir=usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
modules=("$libdir"/swipetype/swipetype-{gtk,x11,uinput}.so)
expected=(
    usr/bin/swipetype usr/bin/swipetype-send usr/bin/swipetype-sim usr/bin/swipetype-launch
    usr/bin/swipetype-config
    "${modules[@]}"
    usr/lib/udev/rules.d/60-swipetype-uinput.rules
    usr/lib/systemd/user/swipetype.service
    usr/share/applications/swipetype.desktop
    usr/share/icons/hicolor/16x16/apps/swipetype.png
    usr/share/icons/hicolor/32x32/apps/swipetype.png
    usr/share/man/man1/swipetype.1.gz usr/share/man/man1/swipetype-send.1.gz
    usr/share/man/man1/swipetype-sim.1.gz usr/share/man/man1/swipetype-launch.1.gz
    usr/share/man/man1/swipetype-config.1.gz
    usr/share/doc/swipetype/copyright usr/share/doc/swipetype/changelog.Debian.gz
)
for path in "${expected[@]}"; do
    grep -qxF "$path" "$work/files" || fail "the package lacks $path"
done
# Nothing of the build tree: no headers, static libraries or test programs,
# and nothing outside the system prefix.
while read -r path; do
    case $path in
    usr/local/* | *.h | *.a | *_test | *benchmark*) fail "the package should not hold $path" ;;
    usr/* | etc/*) ;;
    *) fail "the package holds $path outside /usr and /etc" ;;
    esac
done <"$work/files"
if awk '$2 != "root/root" {bad = 1} END {exit !bad}' "$work/contents"; then
    fail "files not owned by root/root"
fi

mkdir "$work/tree"
dpkg-deb -x "$deb" "$work/tree"

# --- Control fields and dependencies ----------------------------------------
step "control fields and dependencies"
dpkg-deb -f "$deb" Package Version Architecture Maintainer Section Priority Depends Description |
    tee "$work/control"
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == swipetype ]] || fail "Package is not swipetype"
[[ $(field Architecture) == "$(dpkg --print-architecture)" ]] || fail "wrong Architecture"
for name in Version Maintainer Section Priority Description; do
    [[ -n $(field "$name") ]] || fail "no $name field"
done
# The package names in Depends, one a line, without versions.
sed 's/([^)]*)//g; s/[,|]/\n/g' <<<"$(field Depends)" | awk 'NF {print $1}' >"$work/depends"
# Build tools and development packages are not needed to run the programs.
while read -r package; do
    case $package in
    *-dev | cmake | build-essential | g++* | gcc* | googletest | help2man | lintian)
        fail "build-only package in Depends: $package"
        ;;
    esac
done <"$work/depends"
# Every library the programs and their modules load must come from a package in
# Depends.
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
for program in "$work"/tree/usr/bin/* "${modules[@]/#/$work/tree/}"; do
    for soname in $(readelf -d "$program" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p'); do
        # The library of this architecture: a 32-bit libc6-i386 also has a libm.so.6.
        owner=$(dpkg-query -S "*/$multiarch/$soname" 2>/dev/null | head -1 | cut -d: -f1)
        if [[ -z $owner ]]; then
            fail "$(basename "$program") needs $soname, which no installed package provides"
        elif ! grep -qxF "$owner" "$work/depends"; then
            fail "$(basename "$program") needs $soname from $owner, which is not in Depends"
        fi
    done
done

# --- Manual pages -----------------------------------------------------------
step "manual pages"
for page in "$work"/tree/usr/share/man/man1/*.1.gz; do
    # As lintian renders them; any warning from groff or man is a failure.
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    if [[ -n $warnings ]]; then
        fail "$(basename "$page") renders with warnings:"
        printf '%s\n' "$warnings" >&2
    fi
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | col -b)
    sections=(NAME SYNOPSIS DESCRIPTION EXAMPLES)
    # The simulator reads no variables and no files of the program.
    [[ $(basename "$page") == swipetype-sim.1.gz ]] || sections+=(ENVIRONMENT FILES)
    for section in "${sections[@]}"; do
        grep -q "^$section" <<<"$text" || fail "$(basename "$page") has no $section section"
    done
    grep -qiE 'exit +status' <<<"$text" || fail "$(basename "$page") does not give the exit status"
    say "$(basename "$page"): $(wc -l <<<"$text") lines"
done

# --- Desktop entry and user unit --------------------------------------------
step "desktop entry and user unit"
desktop=$work/tree/usr/share/applications/swipetype.desktop
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "swipetype.desktop is not valid"
else
    say "desktop-file-validate not installed: the desktop entry is not validated"
fi
grep -qx "Icon=swipetype" "$desktop" || fail "the desktop entry does not name the icon"
unit=$work/tree/usr/lib/systemd/user/swipetype.service
grep -qx "ExecStart=/usr/bin/swipetype MIN" "$unit" || fail "the unit does not run swipetype MIN"
grep -qx "Restart=on-failure" "$unit" || fail "the unit does not restart on failure"
# The program ends the orderly way on SIGTERM, systemd's default stop signal.
grep -q "^KillSignal=" "$unit" && fail "the unit changes the stop signal"
grep -q "^ExecStop=" "$unit" && fail "the unit stops the program another way than SIGTERM"

# --- lintian ----------------------------------------------------------------
step "lintian"
if command -v lintian >/dev/null; then
    lintian --pedantic "$deb" >"$work/lintian" 2>&1
    grep -v "running with root privileges" "$work/lintian" || true
    if grep -q '^E:' "$work/lintian"; then
        fail "lintian reports errors"
    fi
    say "lintian: $(grep -c '^E:' "$work/lintian") errors, $(grep -c '^W:' "$work/lintian") warnings"
else
    fail "lintian is not installed (scripts/install-deps.sh installs it)"
fi

# --- Install into a fresh Debian root ---------------------------------------
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
arch=$(dpkg --print-architecture)
mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null |
    head -1)
mirror=${mirror:-http://deb.debian.org/debian}
root=$work/root

# A fresh minimal root: from the cached tarball when one younger than a week
# exists, else by debootstrap from the mirror apt uses here.
make_root() {
    local tarball=$CACHE_DIR/debootstrap-$codename-$arch.tar
    mkdir "$root"
    if [[ -f $tarball ]] && [[ -n $(find "$tarball" -mtime -$CACHE_DAYS) ]]; then
        say "fresh root from $tarball"
        tar -xf "$tarball" -C "$root"
        return
    fi
    say "debootstrap --variant=minbase $codename from $mirror"
    if ! timeout 300 debootstrap --variant=minbase "$codename" "$root" "$mirror" \
        >"$work/debootstrap.log" 2>&1; then
        tail -5 "$work/debootstrap.log"
        return 1
    fi
    if mkdir -p "$CACHE_DIR" 2>/dev/null; then
        tar -cf "$tarball.tmp" -C "$root" . && mv "$tarball.tmp" "$tarball"
    fi
}

in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }

# The command the user unit runs, stopped with SIGTERM as systemd stops it:
# the program must end with status 0, remove its tray icon and save its settings.
check_unit_command() {
    local command
    command=$(sed -n 's/^ExecStart=//p' "$root/usr/lib/systemd/user/swipetype.service")
    # As the user manager runs it: a home and a private runtime folder.
    in_root mkdir -p /tmp/unit-home
    in_root mkdir -m 0700 /tmp/unit-home/run
    in_root sh -c "HOME=/tmp/unit-home XDG_RUNTIME_DIR=/tmp/unit-home/run \
        SWIPETYPE_LOG=/tmp/unit-home/events $command >/tmp/unit-home/output 2>&1 & echo \$! >/tmp/unit-home/pid; wait \$!; \
        echo \$? >/tmp/unit-home/status" &
    local runner=$! waited=0
    until grep -q '"op":"add"' "$root/tmp/unit-home/events" 2>/dev/null; do
        sleep 0.1
        if ((++waited > 100)); then
            fail "'$command' did not add its tray icon within 10 s:"
            cat "$root/tmp/unit-home/output" >&2
            kill -TERM "$(cat "$root/tmp/unit-home/pid")" 2>/dev/null
            wait "$runner"
            return
        fi
    done
    kill -TERM "$(cat "$root/tmp/unit-home/pid")"
    wait "$runner"
    local status
    status=$(cat "$root/tmp/unit-home/status" 2>/dev/null)
    [[ $status == 0 ]] || fail "'$command' ended with status '$status' on SIGTERM"
    grep -q '"op":"delete"' "$root/tmp/unit-home/events" ||
        fail "'$command' did not remove its tray icon on SIGTERM"
    [[ -f $root/tmp/unit-home/.local/share/swipetype/registry/HKEY_LOCAL_MACHINE.reg ]] ||
        fail "'$command' did not save its settings on SIGTERM"
    say "'$command' ran in the default device root and ended with status 0 on SIGTERM"
    in_root rm -rf /tmp/unit-home
}

check_install() {
    step "install into a fresh $codename root"
    if ! in_root apt-get -q update >"$work/apt.log" 2>&1; then
        tail -5 "$work/apt.log"
        say "install into a fresh root: skipped (apt-get update cannot reach the mirror)"
        return
    fi
    # The dependencies first, as apt would bring them with the package: what
    # their own installation scripts leave (system users, a machine id) is then
    # told apart from what the package leaves.
    if ! DEBIAN_FRONTEND=noninteractive in_root apt-get satisfy -y -q --no-install-recommends \
        "$(dpkg-deb -f "$deb" Depends)" >>"$work/apt.log" 2>&1; then
        tail -20 "$work/apt.log" >&2
        fail "the package's dependencies do not install into a fresh $codename root"
        return
    fi
    say "dependencies: $(grep -c '^Unpacking' "$work/apt.log") packages"
    find "$root" -xdev | sort >"$work/before"
    cp "$deb" "$root/tmp/swipetype.deb"
    if ! DEBIAN_FRONTEND=noninteractive in_root apt-get install -y -q --no-install-recommends \
        /tmp/swipetype.deb >"$work/install.log" 2>&1; then
        tail -20 "$work/install.log" >&2
        fail "the package does not install into a fresh $codename root"
        return
    fi
    rm "$root/tmp/swipetype.deb"
    in_root dpkg -L swipetype >"$work/owned"
    say "installed: $(grep -c '^/' "$work/owned") paths"
    in_root swipetype --version || fail "swipetype --version fails after installing"
    in_root swipetype-sim --help >/dev/null || fail "swipetype-sim --help fails after installing"
    # The program finds its desktop front end's module: without a display, it is
    # the front end that says so, not the loader that it is missing.
    gtk_error=$(in_root swipetype --root /tmp/module-check --keys none --ui gtk 2>&1)
    grep -q "no display to show the windows on" <<<"$gtk_error" ||
        fail "swipetype --ui gtk does not reach its front end after installing: $gtk_error"
    in_root rm -rf /tmp/module-check
    check_unit_command

    step "remove"
    if ! DEBIAN_FRONTEND=noninteractive in_root apt-get purge -y -q swipetype \
        >"$work/purge.log" 2>&1; then
        tail -20 "$work/purge.log" >&2
        fail "the package does not remove"
        return
    fi
    while read -r path; do
        [[ -e $root$path && ! -d $root$path ]] && fail "left behind after removal: $path"
    done <"$work/owned"
    leftovers=$(find "$root" -xdev -iname '*swipetype*' | sed "s|^$root||")
    [[ -z $leftovers ]] || fail "left behind after removal: $leftovers"
    # Whatever is new since the dependencies were installed, apart from apt's
    # and dpkg's own records of what happened.
    find "$root" -xdev | sort >"$work/after"
    comm -13 "$work/before" "$work/after" | sed "s|^$root||" |
        grep -vE '^/(var/(lib|cache|log)/(apt|dpkg)|var/log|var/cache/(debconf|ldconfig)|etc/ld\.so\.cache|tmp)(/|$)' \
            >"$work/new" || true
    if [[ -s $work/new ]]; then
        fail "files that were not there before installing remain:"
        cat "$work/new" >&2
    else
        say "removed: nothing of the package is left"
    fi
}

if [[ ${SWIPETYPE_CHECK_INSTALL:-1} == 0 ]]; then
    say "install into a fresh root: skipped (SWIPETYPE_CHECK_INSTALL=0)"
elif ((EUID != 0)); then
    say "install into a fresh root: skipped (needs root for debootstrap and chroot)"
elif ! command -v debootstrap >/dev/null; then
    say "install into a fresh root: skipped (debootstrap is not installed)"
elif [[ -z $codename ]]; then
    say "install into a fresh root: skipped (no VERSION_CODENAME in /etc/os-release)"
elif ! make_root; then
    say "install into a fresh root: skipped (debootstrap from $mirror failed; see above)"
else
    check_install
fi

step "done"
if ((failures > 0)); then
    say "$failures checks failed"
    exit 1
fi
say "all checks passed"
