#!/usr/bin/env bash
# with-servers.sh COMMAND...: starts every loopback test server (each tests/servers/start-*.sh),
# runs COMMAND with the servers' ports and folders in ORVENDAL_TEST_* variables and stops the
# servers again. A start script is sourced: it starts its servers in the background, waits until
# they answer and exports its variables; it fails the start when a server does not come up.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=$(mktemp -d /tmp/orvendal-servers.XXXXXX)
chmod 755 "$state"
stop() { # the servers are this shell's background jobs
  exec 2>/dev/null # bash's notices of the servers it kills
  kill $(jobs -p) || true
  sleep 0.2
  kill -9 $(jobs -p) || true
  rm -rf "$state"
}
trap stop EXIT
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
# A test CA and a server certificate for "localhost" only: an address like 127.0.0.1 is then
# a host the certificate does not name; the same one expired a day ago.
tls=$state/tls && mkdir "$tls" && cd "$tls"
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
openssl req -x509 $key -keyout ca.key -out ca.pem -days 2 -subj "/CN=Orvendal Test CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req $key -keyout server.key -out server.csr -subj /CN=localhost 2>/dev/null
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -out server.pem \
  -extfile <(echo subjectAltName=DNS:localhost) 2>/dev/null
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -days -1 -out expired.pem 2>/dev/null
cd - >/dev/null
export ORVENDAL_TEST_CA=$tls/ca.pem ORVENDAL_TEST_CERT=$tls/server.pem ORVENDAL_TEST_KEY=$tls/server.key
for start in "$here"/start-*.sh; do
  . "$start"
done
"$@"
