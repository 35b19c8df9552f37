#!/usr/bin/env bash
# Runs the README's first two commands, exactly as written there, in a clone
# of this repository inside a fresh minimal Debian 12 root that holds only
# ca-certificates, git and the package manager, and prints how long each
# step took. Not part of ctest: it downloads and builds everything and takes
# several minutes.
#
#   sudo tests/fresh_machine.sh
#
# Needs root, mmdebstrap or debootstrap, and the Debian archive (set
# QUILLMARK_MIRROR for another mirror). Exits 77 when it cannot make the
# root, 0 when both commands succeed. The clone is of the commit checked out.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
mirror=${QUILLMARK_MIRROR:-http://deb.debian.org/debian}
if [ "$(id -u)" -ne 0 ]; then
  echo "fresh_machine: needs root to make and enter the Debian root" >&2
  exit 77
fi

work=$(mktemp -d /var/tmp/quillmark-fresh-XXXXXX)
root=$work/root
cleanup() {
  for mount in "$root/dev" "$root/proc"; do
    mountpoint -q "$mount" && umount -l "$mount"
  done
  rm -rf "$work"
}
trap cleanup EXIT

seconds() { date +%s; }
report() { printf 'fresh_machine: %-44s %4d s\n' "$1" "$2"; }

start=$(seconds)
if command -v mmdebstrap >/dev/null; then
  mmdebstrap --quiet --variant=minbase --include=ca-certificates,git bookworm "$root" "$mirror"
elif command -v debootstrap >/dev/null; then
  debootstrap --variant=minbase --include=ca-certificates,git bookworm "$root" "$mirror" >/dev/null
else
  echo "fresh_machine: needs mmdebstrap or debootstrap" >&2
  exit 77
fi
report "making the Debian 12 minbase root" $(( $(seconds) - start ))

mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# The repository travels as a bundle of the checked-out commit, so that the
# clone inside needs nothing of this machine's paths.
git -C "$repo" bundle create "$root/quillmark.bundle" HEAD 2>/dev/null

# The README's commands: its first two indented lines.
mapfile -t commands < <(grep -m 2 '^    ' "$repo/README.md" | sed 's/^    //')
inside() {
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/bash -euo pipefail -c "$1"
}
inside "git -c advice.detachedHead=false clone --quiet /quillmark.bundle /root/quillmark"
for number in 1 2; do
  command=${commands[number - 1]}
  echo "fresh_machine: command $number: $command"
  start=$(seconds)
  inside "cd /root/quillmark && $command" > "$work/command$number.log" 2>&1 || {
    tail -n 40 "$work/command$number.log" >&2
    echo "fresh_machine: command $number failed" >&2
    exit 1
  }
  report "README command $number" $(( $(seconds) - start ))
  if [ "$number" -eq 1 ]; then
    if ! grep -q '<card id="card1" title="Welcome to Quillmark">' "$work/command1.log"; then
      echo "fresh_machine: command 1 printed no deck" >&2
      exit 1
    fi
    # Only the tool's packages are there: serve says it was left out.
    status=0
    inside "cd /root/quillmark && ./build/quillmark serve --root ." > "$work/serve.log" 2>&1 || status=$?
    if [ "$status" -ne 1 ] || ! grep -q 'built without its server' "$work/serve.log"; then
      echo "fresh_machine: serve in the tool-only build: status $status, $(cat "$work/serve.log")" >&2
      exit 1
    fi
  fi
done
tail -n 3 "$work/command2.log"
