#!/usr/bin/env bash
# Builds the two Debian packages, "swipetype" (the program and its tools) and
# "swipetype-gtk" (the desktop front end), and checks them as a user would meet
# them: what each holds, what each depends on (the first on no GTK), that the
# manual pages render cleanly and the bash completion completes, what lintian
# says, and, where the machine can make a fresh Debian root with debootstrap,
# that the first installs there alone without GTK, runs, stops the orderly way
# on SIGTERM and removes without a trace, and that the second then brings the
# front end and removes as cleanly. Any failed check ends the script with
# status 1 after the others have run; lintian warnings are listed but tolerated.
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
for name in swipetype swipetype-gtk; do
    found=("$PACKAGE_DIR"/"$name"_*.deb)
    if ((${#found[@]} != 1)) || [[ ! -f ${found[0]} ]]; then
        fail "expected one ${name}_*.deb in $PACKAGE_DIR, found: ${found[*]}"
        exit 1
    fi
    say "built ${found[0]} ($(stat -c %s "${found[0]}") bytes)"
done
deb=$(echo "$PACKAGE_DIR"/swipetype_*.deb)
gtk_deb=$(echo "$PACKAGE_DIR"/swipetype-gtk_*.deb)

# --- Contents ---------------------------------------------------------------
step "contents"
# Regular files of a package as paths without the leading "./".
files_of() {
    dpkg-deb --contents "$1" | tee -a "$work/contents" |
        awk '$1 ~ /^-/ {sub(/^\.\//, "", $6); print $6}' | sort
}
files_of "$deb" >"$work/files"
files_of "$gtk_deb" >"$work/gtk-files"
cat "$work/files" "$work/gtk-files"
libdir=usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
# The modules the program loads when it uses them: the key sinks with libraries
# behind them, as the table of sinks names them, and the desktop front end in a
# package of its own.
modules=()
while read -r module; do
    modules+=("$libdir/swipetype/swipetype-$module.so")
done < <(sed -n 's/^ *\.module = "\([a-z0-9_]*\)",.*/\1/p' platform/keyboard/key_sink_registry.cpp)
gtk_module=$libdir/swipetype/swipetype-gtk.so
expected=(
    usr/bin/swipetype usr/bin/swipetype-send usr/bin/swipetype-sim usr/bin/swipetype-launch
    usr/bin/swipetype-config
    "${modules[@]}"
    usr/lib/udev/rules.d/60-swipetype-uinput.rules
    usr/lib/systemd/user/swipetype.service
    usr/share/man/man1/swipetype.1.gz usr/share/man/man1/swipetype-send.1.gz
    usr/share/man/man1/swipetype-sim.1.gz usr/share/man/man1/swipetype-launch.1.gz
    usr/share/man/man1/swipetype-config.1.gz
    usr/share/bash-completion/completions/swipetype
    usr/share/bash-completion/completions/swipetype-config
    usr/share/bash-completion/completions/swipetype-send
    usr/share/bash-completion/completions/swipetype-sim
    usr/share/bash-completion/completions/swipetype-launch
    usr/share/doc/swipetype/copyright usr/share/doc/swipetype/changelog.Debian.gz
    usr/share/doc/swipetype/README.md.gz
)
expected_gtk=(
    "$gtk_module"
    usr/share/applications/swipetype.desktop
    usr/share/icons/hicolor/16x16/apps/swipetype.png
    usr/share/icons/hicolor/32x32/apps/swipetype.png
    usr/share/doc/swipetype-gtk/copyright usr/share/doc/swipetype-gtk/changelog.Debian.gz
)
for path in "${expected[@]}"; do
    grep -qxF "$path" "$work/files" || fail "swipetype lacks $path"
done
for path in "${expected_gtk[@]}"; do
    grep -qxF "$path" "$work/gtk-files" || fail "swipetype-gtk lacks $path"
done
grep -qxF "$gtk_module" "$work/files" && fail "swipetype holds the GTK front end"
comm -12 "$work/files" "$work/gtk-files" | grep . && fail "both packages hold the files above"
# Nothing of the build tree: no headers, static libraries or test programs,
# and nothing outside the system prefix.
while read -r path; do
    case $path in
    usr/local/* | *.h | *.a | *_test | *benchmark*) fail "a package should not hold $path" ;;
    usr/* | etc/*) ;;
    *) fail "a package holds $path outside /usr and /etc" ;;
    esac
done < <(cat "$work/files" "$work/gtk-files")
if awk '$2 != "root/root" {bad = 1} END {exit !bad}' "$work/contents"; then
    fail "files not owned by root/root"
fi

mkdir "$work/tree"
dpkg-deb -x "$deb" "$work/tree"
dpkg-deb -x "$gtk_deb" "$work/tree"

# --- Control fields and dependencies ----------------------------------------
step "control fields and dependencies"
# The package names in a package's Depends, one a line, without versions.
depends_of() {
    sed 's/([^)]*)//g; s/[,|]/\n/g' <<<"$(dpkg-deb -f "$1" Depends)" | awk 'NF {print $1}'
}
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
# Every library that a package's programs and modules load must come from a
# package in its Depends.
check_libraries() {
    local package=$1 depends=$2 program soname owner
    shift 2
    for program in "$@"; do
        for soname in $(readelf -d "$program" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p'); do
            # The library of this architecture: a 32-bit libc6-i386 also has a libm.so.6.
            owner=$(dpkg-query -S "*/$multiarch/$soname" 2>/dev/null | head -1 | cut -d: -f1)
            if [[ -z $owner ]]; then
                fail "$(basename "$program") needs $soname, which no installed package provides"
            elif ! grep -qxF "$owner" "$depends"; then
                fail "$(basename "$program") needs $soname from $owner, not in $package's Depends"
            fi
        done
    done
}
version=$(dpkg-deb -f "$deb" Version)
for package in "$deb" "$gtk_deb"; do
    dpkg-deb -f "$package" Package Version Architecture Maintainer Section Priority Depends \
        Suggests Description | tee -a "$work/control"
    [[ $(dpkg-deb -f "$package" Architecture) == "$(dpkg --print-architecture)" ]] ||
        fail "$package: wrong Architecture"
    for name in Version Maintainer Section Priority Description; do
        [[ -n $(dpkg-deb -f "$package" "$name") ]] || fail "$package: no $name field"
    done
    # Build tools and development packages are not needed to run the programs.
    while read -r dependency; do
        case $dependency in
        *-dev | cmake | build-essential | g++* | gcc* | googletest | help2man | lintian)
            fail "build-only package in the Depends of $package: $dependency"
            ;;
        esac
    done < <(depends_of "$package")
done
[[ $(dpkg-deb -f "$deb" Package) == swipetype ]] || fail "Package is not swipetype"
[[ $(dpkg-deb -f "$gtk_deb" Package) == swipetype-gtk ]] || fail "Package is not swipetype-gtk"
[[ $(dpkg-deb -f "$deb" Suggests) == *swipetype-gtk* ]] || fail "swipetype does not suggest swipetype-gtk"
[[ $(dpkg-deb -f "$gtk_deb" Depends) == *"swipetype (= $version)"* ]] ||
    fail "swipetype-gtk does not depend on swipetype (= $version)"
[[ $(dpkg-deb -f "$gtk_deb" Version) == "$version" ]] || fail "the packages' versions differ"
depends_of "$deb" >"$work/depends"
depends_of "$gtk_deb" >"$work/gtk-depends"
grep -E '^lib(gtk|gdk|pango|cairo|atk)' "$work/depends" &&
    fail "swipetype depends on the desktop libraries above"
check_libraries swipetype "$work/depends" "$work"/tree/usr/bin/* "${modules[@]/#/$work/tree/}"
check_libraries swipetype-gtk "$work/gtk-depends" "$work/tree/$gtk_module"

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

# --- Bash completion ----------------------------------------------------------
step "bash completion"
if [[ -f /usr/share/bash-completion/bash_completion ]]; then
    # The scripts read the installed programs' --help. Each case is the words
    # as bash hands them over (":" and "=" are words of their own, as
    # COMP_WORDBREAKS makes them), a word the replies must hold, and for
    # "--port COM1:=" the start of every reply: readline puts a reply after the
    # last "=", so one starting with "=" gives "COM1:==...".
    # The sinks --keys must offer are the table's.
    sinks=$(sed -n 's/^ *{\.name = "\([a-z0-9_]*\)",.*/\1/p' platform/keyboard/key_sink_registry.cpp |
        tr '\n' ' ')
    [[ -n $sinks ]] || fail "no sink names found in platform/keyboard/key_sink_registry.cpp"
    cases=(
        "swipetype --keys |$sinks"
        "swipetype --port COM1 :=|/dev/ttyUSB0"
        "swipetype-config set |Prefix"
        "swipetype-config status |--json"
        "swipetype-config --timeout 3 status --|--json"
        "swipetype-send |WM_CLOSE"
        "swipetype-send --|--timeout"
        "swipetype-sim |rfid"
        "swipetype-sim rfid --|--tag"
        "swipetype-launch --|--install"
    )
    for entry in "${cases[@]}"; do
        line=${entry%%|*}
        want=${entry#*|}
        completed=$(PATH="$work/tree/usr/bin:$PATH" bash -c '
            source /usr/share/bash-completion/bash_completion
            read -ra COMP_WORDS <<<"$1"
            [[ $1 == *" " ]] && COMP_WORDS+=("")
            COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
            COMP_LINE=${1// :=/:=}
            COMP_POINT=${#COMP_LINE}
            source "$0/usr/share/bash-completion/completions/${COMP_WORDS[0]}"
            # The serial devices this machine has are not known here: one stands in.
            _swipetype_serial_devices() { echo /dev/ttyUSB0; }
            complete -p "${COMP_WORDS[0]}" | grep -o "\-F [^ ]*" | cut -c4- | {
                read -r function
                "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" \
                    "${COMP_WORDS[COMP_CWORD - 1]}"
                printf "%s\n" "${COMPREPLY[@]}"
            }' "$work/tree" "$line" 2>&1)
        for word in $want; do
            grep -qx -- "$word" <<<"$completed" ||
                fail "'$line<TAB>' does not offer $word: $(tr '\n' ' ' <<<"$completed")"
        done
        say "completed '$line': $(head -5 <<<"$completed" | tr '\n' ' ')"
    done
else
    fail "bash-completion is not installed (scripts/install-deps.sh installs it)"
fi

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
    lintian --pedantic "$deb" "$gtk_deb" >"$work/lintian" 2>&1
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

# apt-get in the root, quietly, its output appended to a log.
apt_in_root() {
    local log=$1
    shift
    DEBIAN_FRONTEND=noninteractive in_root apt-get -y -q --no-install-recommends "$@" \
        >>"$work/$log" 2>&1
}

# Purges the packages and fails for anything new since the snapshot `before`,
# apart from apt's and dpkg's own records of what happened.
check_purge() {
    local before=$1
    shift
    if ! apt_in_root purge.log purge "$@"; then
        tail -20 "$work/purge.log" >&2
        fail "$* do not remove"
        return
    fi
    while read -r path; do
        [[ -e $root$path && ! -d $root$path ]] && fail "left behind after removal: $path"
    done <"$work/owned"
    # The packages this script copied into the root are its own, not leftovers.
    leftovers=$(find "$root" -xdev -iname '*swipetype*' | sed "s|^$root||" |
        grep -vxF -e /tmp/swipetype.deb -e /tmp/swipetype-gtk.deb)
    [[ -z $leftovers ]] || fail "left behind after removal: $leftovers"
    find "$root" -xdev | sort >"$work/after"
    comm -13 "$before" "$work/after" | sed "s|^$root||" |
        grep -vE '^/(var/(lib|cache|log)/(apt|dpkg)|var/log|var/cache/(debconf|ldconfig)|etc/ld\.so\.cache|tmp)(/|$)' \
            >"$work/new" || true
    if [[ -s $work/new ]]; then
        fail "files that were not there before installing $* remain:"
        cat "$work/new" >&2
    else
        say "removed $*: nothing of them is left"
    fi
}

check_install() {
    step "install swipetype alone into a fresh $codename root"
    if ! in_root apt-get -q update >"$work/apt.log" 2>&1; then
        tail -5 "$work/apt.log"
        say "install into a fresh root: skipped (apt-get update cannot reach the mirror)"
        return
    fi
    # The dependencies first, as apt would bring them with the package: what
    # their own installation scripts leave (system users, a machine id) is then
    # told apart from what the package leaves.
    if ! apt_in_root apt.log satisfy "$(dpkg-deb -f "$deb" Depends)"; then
        tail -20 "$work/apt.log" >&2
        fail "the dependencies of swipetype do not install into a fresh $codename root"
        return
    fi
    say "dependencies: $(grep -c '^Unpacking' "$work/apt.log") packages"
    find "$root" -xdev | sort >"$work/before"
    cp "$deb" "$root/tmp/swipetype.deb"
    cp "$gtk_deb" "$root/tmp/swipetype-gtk.deb"
    if ! apt_in_root install.log install /tmp/swipetype.deb; then
        tail -20 "$work/install.log" >&2
        fail "swipetype does not install into a fresh $codename root"
        return
    fi
    in_root dpkg -L swipetype >"$work/owned"
    say "installed: $(grep -c '^/' "$work/owned") paths"
    # A terminal without a desktop: no GTK came with it.
    in_root dpkg-query -W -f='${Package}\n' | grep -E '^lib(gtk|gdk)' &&
        fail "installing swipetype brought the GTK packages above"
    in_root swipetype --version || fail "swipetype --version fails after installing"
    in_root swipetype-sim --help >/dev/null || fail "swipetype-sim --help fails after installing"
    # Without the front end's package, --ui gtk says in one line what is missing.
    gtk_error=$(in_root swipetype --root /tmp/module-check --keys none --ui gtk 2>&1)
    grep -q "swipetype-gtk.so" <<<"$gtk_error" ||
        fail "swipetype --ui gtk without swipetype-gtk does not name the module: $gtk_error"
    in_root rm -rf /tmp/module-check
    check_unit_command

    step "remove swipetype"
    check_purge "$work/before" swipetype

    step "install swipetype-gtk with swipetype"
    # Again the dependencies first, all but swipetype itself.
    gtk_depends=$(dpkg-deb -f "$gtk_deb" Depends | sed 's/swipetype ([^)]*)//; s/^[ ,]*//; s/, *,/,/g')
    if ! apt_in_root apt.log satisfy "$(dpkg-deb -f "$deb" Depends), $gtk_depends"; then
        tail -20 "$work/apt.log" >&2
        fail "the dependencies of swipetype-gtk do not install into a fresh $codename root"
        return
    fi
    find "$root" -xdev | sort >"$work/before-gtk"
    if ! apt_in_root install.log install /tmp/swipetype.deb /tmp/swipetype-gtk.deb; then
        tail -20 "$work/install.log" >&2
        fail "swipetype-gtk does not install into a fresh $codename root"
        return
    fi
    rm "$root/tmp/swipetype.deb" "$root/tmp/swipetype-gtk.deb"
    in_root dpkg -L swipetype swipetype-gtk >"$work/owned"
    # The program finds its desktop front end's module: without a display, it is
    # the front end that says so, not the loader that it is missing.
    gtk_error=$(in_root swipetype --root /tmp/module-check --keys none --ui gtk 2>&1)
    grep -q "no display to show the windows on" <<<"$gtk_error" ||
        fail "swipetype --ui gtk does not reach its front end after installing: $gtk_error"
    in_root rm -rf /tmp/module-check

    step "remove swipetype-gtk and swipetype"
    check_purge "$work/before-gtk" swipetype-gtk swipetype
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
