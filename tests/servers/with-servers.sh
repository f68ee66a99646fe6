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
# A test CA and a server certificate for "localhost" only: an address like 127.0.0.1 is then
# a host the certificate does not name.
tls=$state/tls && mkdir "$tls" && cd "$tls"
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
openssl req -x509 $key -keyout ca.key -out ca.pem -days 2 -subj "/CN=Orvendal Test CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req $key -keyout server.key -out server.csr -subj /CN=localhost 2>/dev/null
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -out server.pem \
  -extfile <(echo subjectAltName=DNS:localhost) 2>/dev/null
cd - >/dev/null
export ORVENDAL_TEST_CA=$tls/ca.pem ORVENDAL_TEST_CERT=$tls/server.pem ORVENDAL_TEST_KEY=$tls/server.key
for start in "$here"/start-*.sh; do
  exports=$(bash "$start" "$state") || { echo "with-servers: $(basename "$start") failed" >&2; exit 1; }
  eval "$exports"
done
"$@"
