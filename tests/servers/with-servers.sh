#!/usr/bin/env bash
# with-servers.sh COMMAND...: starts every loopback test server (each tests/servers/start-*.sh),
# exports the variables they print (ports, folders), runs COMMAND and stops the servers again.
#
# A start script is called as "start-NAME.sh STATE_DIR". It starts its servers in the
# background, waits until they answer, appends their process ids to STATE_DIR/pids and prints
# "export NAME=value" lines on stdout. It exits non-zero when a server does not come up.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=$(mktemp -d /tmp/orvendal-servers.XXXXXX)
chmod 755 "$state"
touch "$state/pids"
stop() {
  while read -r pid; do kill "$pid" 2>/dev/null || true; done < "$state/pids"
  sleep 0.2
  while read -r pid; do kill -9 "$pid" 2>/dev/null || true; done < "$state/pids"
  rm -rf "$state"
}
trap stop EXIT
export ORVENDAL_SERVER_STATE=$state
for start in "$here"/start-*.sh; do
  [ -e "$start" ] || continue
  exports=$(bash "$start" "$state") || { echo "with-servers: $(basename "$start") failed" >&2; exit 1; }
  eval "$exports"
done
"$@"
