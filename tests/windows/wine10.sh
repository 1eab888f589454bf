#!/bin/sh
# Runs a command with the Wine 10 root's /usr and /etc (scripts/deps.sh makes the root) in place
# of this system's, in a mount namespace of its own: every other path (the checkout, /tmp, the X
# display's socket) is this system's, and nothing changes outside the command.
#
#   wine10.sh ROOT COMMAND [ARG...]     e.g. wine10.sh /var/cache/tvx-plugins/wine10 wine64 app.exe
set -eu
root=$1
shift
if [ ! -f "$root/.tvx-wine-root" ]; then
  echo "wine10.sh: no Wine 10 root at $root (scripts/deps.sh test makes it, as root)" >&2
  exit 125
fi
# As root a mount namespace is enough; any other user maps itself to root in a user namespace.
own=
if [ "$(id -u)" -ne 0 ]; then own=--map-root-user; fi
exec unshare --mount $own sh -c \
  'mount --bind "$0/usr" /usr && mount --bind "$0/etc" /etc && exec "$@"' "$root" "$@"
