#!/bin/sh
# Runs a command in a private network namespace with only its own loopback up, where the
# system allows one (as root, or through an unprivileged user namespace); otherwise runs it
# as it is. Tests that need a fixed port on 127.0.0.1 (a GigE Vision camera's 3956) then
# cannot meet another program using it, and nothing they send can leave the machine.
inner='ip link set lo up 2>/dev/null || /sbin/ip link set lo up; exec "$@"'
if unshare -n true 2>/dev/null; then
  exec unshare -n sh -c "$inner" sh "$@"
elif unshare -rn true 2>/dev/null; then
  exec unshare -rn sh -c "$inner" sh "$@"
fi
exec "$@"
