#!/usr/bin/env bash
# Checks what a release build installs and packs: the installed layout, the desktop entry, the
# AppStream metadata, the udev rule, the .deb's files, control fields and maintainer scripts,
# and lintian. Configures and builds the release preset first when that is not done yet.
# Every check says what it found; exits non-zero when any fails.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${TARN_PACKAGING_BUILD_DIR:-build/release}
app_id=com.marlin.Tarnwell
rule=70-tarnwell.rules
icon_sizes=(16 24 32 48 64 128 256)

if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "==> Configuring the release preset in $build"
    cmake --preset release -B "$build"
fi
echo "==> Building $build"
cmake --build "$build" -j2

version=$(sed -n 's/^project(.*VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
udevdir=$(pkg-config --variable=udevdir udev 2>/dev/null || true)
rules_dir=${udevdir:-/usr/lib/udev}/rules.d
has_program=$(cat "$build/packaging/program-target-exists")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root

passed=0
failed=0
# Runs one check; on failure shows what it printed.
check() {
    local name=$1 out
    shift
    if out=$("$@" 2>&1); then
        passed=$((passed + 1))
        echo "ok   $name"
    else
        failed=$((failed + 1))
        echo "FAIL $name"
        printf '%s\n' "$out" | sed 's/^/       /'
    fi
}

expected_files() {
    if [ "$has_program" = 1 ]; then
        echo usr/bin/tarnwell
    fi
    # The headless tool for installers ships in the same package.
    echo usr/bin/tarnwell-cli
    echo usr/share/applications/$app_id.desktop
    echo usr/share/metainfo/$app_id.metainfo.xml
    echo usr/share/icons/hicolor/scalable/apps/$app_id.svg
    local size
    for size in "${icon_sizes[@]}"; do
        echo "usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
    done
    echo usr/share/man/man1/tarnwell.1.gz
    echo usr/share/man/man1/tarnwell-cli.1.gz
    echo usr/share/bash-completion/completions/tarnwell-cli
    echo usr/share/doc/tarnwell/copyright
    echo usr/share/doc/tarnwell/changelog.gz
    echo "${rules_dir#/}/$rule"
}

same_lists() { # what, expected file, found file
    diff -u --label expected --label "$1" "$2" "$3"
}

check_layout() {
    (cd "$root" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort) >"$scratch/installed"
    same_lists installed "$scratch/expected" "$scratch/installed" || return 1
    local writable
    writable=$(find "$root" -perm -0002 ! -type l)
    if [ -n "$writable" ]; then
        echo "world-writable: $writable"
        return 1
    fi
    if [ "$has_program" = 1 ] && [ ! -x "$root/usr/bin/tarnwell" ]; then
        echo "usr/bin/tarnwell is not executable"
        return 1
    fi
}

png_size() { # prints WIDTHxHEIGHT from the IHDR chunk
    local b
    read -r -a b < <(od -An -tu1 -j16 -N8 "$1")
    echo "$(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]))x$(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7]))"
}

check_icons() {
    local size png ok=0
    for size in "${icon_sizes[@]}"; do
        png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
        if [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' ')" != 89504e470d0a1a0a ]; then
            echo "${size}x${size}: not a PNG"
            ok=1
        elif [ "$(png_size "$png")" != "${size}x${size}" ]; then
            echo "${size}x${size}: the image is $(png_size "$png")"
            ok=1
        fi
    done
    return $ok
}

desktop_value() { # key; the value in the [Desktop Entry] group
    sed -n '/^\[Desktop Entry\]/,/^\[/{s/^'"$1"'=//p}' "$root/usr/share/applications/$app_id.desktop"
}

check_desktop_entry() {
    desktop-file-validate "$root/usr/share/applications/$app_id.desktop" || return 1
    local exec icon terminal
    exec=$(desktop_value Exec)
    icon=$(desktop_value Icon)
    terminal=$(desktop_value Terminal)
    if [ "${exec%% *}" != tarnwell ]; then
        echo "Exec runs '$exec', not the installed program tarnwell"
        return 1
    fi
    if [ "$icon" != "$app_id" ]; then
        echo "Icon is '$icon', not the installed icon $app_id"
        return 1
    fi
    if [ "$terminal" != false ]; then
        echo "Terminal is '$terminal'"
        return 1
    fi
}

check_metainfo() {
    local metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
    appstreamcli validate --no-net --strict "$metainfo" || return 1
    appstreamcli validate-tree --no-net --strict "$root" || return 1
    local want
    for want in "<id>$app_id</id>" \
        "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
        "<modalias>usb:vA37Cp010Fd*</modalias>" \
        "<release version=\"$version\""; do
        if ! grep -qF "$want" "$metainfo"; then
            echo "metadata lacks $want"
            return 1
        fi
    done
}

check_rule() {
    local file=$root/${rules_dir#/}/$rule rules line want ok=0
    # Joined continuation lines, without comments and blank lines.
    rules=$(sed -e ':a' -e '/\\$/N; s/\\\n//; ta' "$file" | grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' || true)
    if [ -z "$rules" ]; then
        echo "$rule holds no rule"
        return 1
    fi
    while IFS= read -r line; do
        # sysfs spells the ids in lower case; any other spelling never matches.
        case $line in
            *'SUBSYSTEM=="usb"'*'ATTR{idVendor}=="a37c"'*'ATTR{idProduct}=="010f"'*) ;;
            *)
                echo "a rule not limited to usb a37c:010f: $line"
                ok=1
                ;;
        esac
        for want in 'TAG+="uaccess"' 'GROUP="plugdev"' 'MODE="0660"'; do
            if [[ $line != *"$want"* ]]; then
                echo "a rule without $want: $line"
                ok=1
            fi
        done
        # No mode may give others any access, 0666 least of all.
        if [[ $line =~ MODE:?=\"[0-7]*[1-7]\" ]]; then
            echo "a rule open to every user: $line"
            ok=1
        fi
    done <<<"$rules"
    # uaccess becomes an ACL in 73-seat-late.rules; the tag must be set before it runs, and
    # the mode after the defaults of 50-udev-default.rules.
    if [[ ! $rule < 73-seat-late.rules || ! $rule > 50-udev-default.rules ]]; then
        echo "$rule does not sort between 50-udev-default.rules and 73-seat-late.rules"
        ok=1
    fi
    return $ok
}

# man renders each page without a warning, and tarnwell-cli's page names every command.
check_manpages() {
    local page warnings ok=0
    for page in "$root"/usr/share/man/man1/*.1.gz; do
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
        if [ -n "$warnings" ]; then
            echo "$(basename "$page"): $warnings"
            ok=1
        fi
    done
    local text command
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$root/usr/share/man/man1/tarnwell-cli.1.gz" 2>/dev/null)
    for command in info save load diff backups watch relay publish doctor "EXIT STATUS" \
        TARNWELL_MQTT_PASSWORD; do
        if ! grep -q "$command" <<<"$text"; then
            echo "tarnwell-cli.1 does not mention $command"
            ok=1
        fi
    done
    return $ok
}

# The completion, loaded as bash-completion loads it, offers the commands and their words.
complete_words() { # the words of a command line; the last is the one being completed
    bash --norc -c '
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        _tarnwell_cli
        [ ${#COMPREPLY[@]} -eq 0 ] || printf "%s\n" "${COMPREPLY[@]}"' _ "$root/usr/share/bash-completion/completions/tarnwell-cli" "$@"
}

check_completion() {
    local got ok=0
    got=$(complete_words tarnwell-cli "" | tr '\n' ' ')
    [ "$got" = "info save load diff backups watch relay publish doctor --help --version " ] || {
        echo "commands: '$got'"
        ok=1
    }
    got=$(complete_words tarnwell-cli publish --all | tr '\n' ' ')
    [ "$got" = "--allow-relay " ] || {
        echo "publish --all: '$got'"
        ok=1
    }
    got=$(complete_words tarnwell-cli load x.xml --n | tr '\n' ' ')
    [ "$got" = "--no-backup " ] || {
        echo "load --n: '$got'"
        ok=1
    }
    got=$(complete_words tarnwell-cli relay 3 t | tr '\n' ' ')
    [ "$got" = "toggle " ] || {
        echo "relay 3 t: '$got'"
        ok=1
    }
    got=$(complete_words tarnwell-cli watch --count "" | tr '\n' ' ')
    [ -z "$got" ] || {
        echo "watch --count: '$got'"
        ok=1
    }
    return $ok
}

deb_field() {
    dpkg-deb -f "$deb" "$1"
}

check_deb_files() {
    dpkg-deb -c "$deb" >"$scratch/deb-list"
    awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' "$scratch/deb-list" | LC_ALL=C sort >"$scratch/packed"
    same_lists packed "$scratch/expected" "$scratch/packed" || return 1
    if awk '$2 != "root/root"' "$scratch/deb-list" | grep .; then
        echo "entries above are not owned by root"
        return 1
    fi
}

check_deb_control() {
    local field want got ok=0
    for field in Package:tarnwell Version:"$version" Architecture:"$(dpkg --print-architecture)"; do
        want=${field#*:}
        got=$(deb_field "${field%%:*}")
        if [ "$got" != "$want" ]; then
            echo "${field%%:*} is '$got', not '$want'"
            ok=1
        fi
    done
    if [[ ! $(deb_field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]]; then
        echo "Maintainer is '$(deb_field Maintainer)'"
        ok=1
    fi
    if [[ ! $(deb_field Installed-Size) =~ ^[0-9]+$ ]]; then
        echo "Installed-Size is '$(deb_field Installed-Size)'"
        ok=1
    fi
    # Found by dpkg-shlibdeps from what the program links.
    if [ "$has_program" = 1 ]; then
        for want in libusb-1.0-0 libqt6widgets6 libmosquitto1 libc6; do
            if [[ $(deb_field Depends) != *"$want "* ]]; then
                echo "Depends lacks $want: '$(deb_field Depends)'"
                ok=1
            fi
        done
    fi
    return $ok
}

# Runs a maintainer script against a stand-in udevadm whose daemon is up ($2 = 0) or absent.
run_script() { # script, udevadm exit status, arguments...
    local script=$1 status=$2
    shift 2
    : >"$scratch/udevadm.log"
    PATH=$scratch/fakebin:$PATH FAKE_UDEVADM_STATUS=$status sh "$scratch/control/$script" "$@"
}

check_maintainer_script() { # script, the action it re-triggers on
    local script=$1 action=$2 triggers
    [ "$(stat -c %a "$scratch/control/$script")" = 755 ] || {
        echo "$script has mode $(stat -c %a "$scratch/control/$script")"
        return 1
    }
    if ! run_script "$script" 1 "$action"; then
        echo "$script $action fails when no udev daemon runs"
        return 1
    fi
    if grep -q trigger "$scratch/udevadm.log"; then
        echo "$script triggers without a running udev daemon"
        return 1
    fi
    run_script "$script" 0 "$action" || return 1
    grep -qx 'control --reload-rules' "$scratch/udevadm.log" || {
        echo "$script $action does not reload the rules:"
        cat "$scratch/udevadm.log"
        return 1
    }
    triggers=$(grep '^trigger' "$scratch/udevadm.log" || true)
    if [ -z "$triggers" ]; then
        echo "$script $action does not re-trigger the unit"
        return 1
    fi
    # Every trigger must be limited to the unit, never all devices.
    local line match
    while IFS= read -r line; do
        for match in --subsystem-match=usb --attr-match=idVendor=a37c --attr-match=idProduct=010f; do
            if [[ " $line " != *" $match "* ]]; then
                echo "a trigger without $match: $line"
                return 1
            fi
        done
    done <<<"$triggers"
}

check_maintainer_scripts() {
    dpkg-deb -e "$deb" "$scratch/control"
    mkdir -p "$scratch/fakebin"
    cat >"$scratch/fakebin/udevadm" <<EOF
#!/bin/sh
echo "\$*" >>"$scratch/udevadm.log"
if [ "\$1" = control ]; then exit "\$FAKE_UDEVADM_STATUS"; fi
EOF
    chmod +x "$scratch/fakebin/udevadm"
    check_maintainer_script postinst configure && check_maintainer_script postrm remove
}

# Keeps lintian's report for showing it afterwards, errors or not.
check_lintian() {
    lintian --fail-on error --tag-display-limit 0 --display-info "$deb" >"$scratch/lintian.log" 2>&1 || {
        cat "$scratch/lintian.log"
        return 1
    }
    # Every program has its manual page.
    if grep -q 'binary-without-manpage' "$scratch/lintian.log"; then
        grep 'binary-without-manpage' "$scratch/lintian.log"
        return 1
    fi
}

expected_files | LC_ALL=C sort >"$scratch/expected"
echo "==> Installing $build into a scratch DESTDIR"
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
check "installed layout" check_layout
check "icons are PNGs of their folder's size" check_icons
check "desktop entry" check_desktop_entry
check "AppStream metadata" check_metainfo
check "udev rule" check_rule
check "manual pages" check_manpages
check "bash completion" check_completion

echo "==> Building the .deb"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/deb" >"$scratch/cpack.log" || {
    cat "$scratch/cpack.log"
    exit 1
}
deb=$(echo "$scratch"/deb/*.deb)
echo "    $(basename "$deb"), Installed-Size $(deb_field Installed-Size) KiB, Depends: $(deb_field Depends)"
check ".deb file list" check_deb_files
check ".deb control fields" check_deb_control
check ".deb maintainer scripts" check_maintainer_scripts
check "lintian reports no error" check_lintian
grep -v -e 'running with root privileges' "$scratch/lintian.log" | sed 's/^/    lintian: /' || true

echo "packaging: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
