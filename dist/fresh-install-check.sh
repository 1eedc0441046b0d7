#!/usr/bin/env bash
# Installs the built package on a fresh, minimal Debian 12 (debootstrap into a scratch
# folder) the way a user would, with apt-get, and then uses the installed program as a new
# user under a virtual display: the introduction screen, "Continue", one payment typed into
# the add form, and the main window, with the data file in the user's own data folder.
# Needs root, debootstrap and the Debian mirror; takes a few minutes.
set -euo pipefail

deb=$(realpath "${1:?usage: fresh-install-check.sh build/kestrow_VERSION_amd64.deb}")
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
root=$(mktemp -d /var/tmp/kestrow-fresh.XXXXXX)
chmod 755 "$root" # the root folder of the new system, readable by its users

cleanup() {
  # Lazily: the virtual display may still be closing files under /dev.
  for m in dev/pts dev proc; do umount -l "$root/$m" 2> /dev/null || true; done
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT

echo "== debootstrap bookworm (minbase) into $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" > "$root.debootstrap.log" 2>&1 ||
  { tail -20 "$root.debootstrap.log"; exit 1; }
rm -f "$root.debootstrap.log"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"

in_root() { chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 "$@"; }

echo "== apt-get install ./$(basename "$deb")"
in_root apt-get update -q > /dev/null
in_root sh -c "cd /tmp && apt-get install -y -q ./$(basename "$deb")" > "$root/tmp/install.log" 2>&1 ||
  { tail -20 "$root/tmp/install.log"; exit 1; }
echo "packages installed with it: $(grep -c '^Setting up' "$root/tmp/install.log")"
in_root dpkg -L kestrow | grep -E '^/usr/(bin|share/(applications|metainfo|icons/.*/apps|man/man1))/.'

# Only to drive and watch the program; installed after Kestrow so they cannot have
# supplied anything it needs.
in_root apt-get install -y -q xvfb xauth xdotool > /dev/null 2>&1
in_root useradd -m kestrowuser

echo "== as a new user"
in_root su kestrowuser -c 'kestrow-report --version'
cat > "$root/tmp/drive.sh" << 'END'
set -e
window() { xdotool search --name "$1" | head -1; }
kestrow > /tmp/kestrow.log 2>&1 &
sleep 4
intro=$(window "Kestrow Introduction")
echo "window: $(xdotool getwindowname "$intro")"
xdotool windowfocus --sync "$intro" key Return
sleep 2
echo "window: $(xdotool getwindowname "$(window "Add a record")")"
for text in Rent Sub 2026-12-01 800; do xdotool type --delay 20 "$text"; xdotool key Tab; done
xdotool type --delay 20 1
xdotool key Return
sleep 1
xdotool key Escape
sleep 2
echo "window: $(xdotool getwindowname "$(window "Kestrow Budget Calculator")")"
pkill -x kestrow
END
in_root su kestrowuser -c 'xvfb-run -a sh /tmp/drive.sh'
data="$root/home/kestrowuser/.local/share/Kestrow/Kestrow.txt"
[ -f "$data" ] || { echo "no data file in the user's data folder"; exit 1; }
printf 'Rent|Sub|2026-12-01|800.00|1\r\n' | cmp - "$data" ||
  { echo "unexpected data file:"; cat -A "$data"; exit 1; }
echo "data file ~/.local/share/Kestrow/Kestrow.txt holds the payment typed"
echo "fresh install check passed"
