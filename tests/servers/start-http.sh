#!/usr/bin/env bash
# start-http.sh STATE_DIR: starts the loopback web transfer server (web_transfer.py) and a
# tinyproxy in front of nothing but loopback, waits until both answer and prints their exports.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=$1
http="$state/http"
proxy="$state/tinyproxy"
mkdir -p "$http" "$proxy"

/usr/bin/python3 "$here/web_transfer.py" "$http" 3600 "$ORVENDAL_TEST_CERT" "$ORVENDAL_TEST_KEY" \
  >"$http/server.log" 2>&1 &
echo $! >>"$state/pids"
for _ in $(seq 100); do [ -s "$http/port" ] && break; sleep 0.1; done
[ -s "$http/port" ] || { echo "start-http: web server did not start" >&2; exit 1; }
port=$(cat "$http/port")

# tinyproxy cannot take port 0: ask the kernel for a free port and hand it over.
pport=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
# No Via-header setting: tinyproxy then adds its Via header, which the tests look for.
cat >"$proxy/tinyproxy.conf" <<EOF
Port $pport
Listen 127.0.0.1
Timeout 60
MaxClients 20
Allow 127.0.0.1
LogFile "$proxy/tinyproxy.log"
LogLevel Info
PidFile "$proxy/tinyproxy.pid"
EOF
if [ "$(id -u)" -eq 0 ]; then
  # tinyproxy drops root rights; its log must stay writable for that user.
  printf 'User nobody\nGroup nogroup\n' >>"$proxy/tinyproxy.conf"
  chown -R nobody:nogroup "$proxy"
fi
tinyproxy -d -c "$proxy/tinyproxy.conf" >"$state/tinyproxy.out" 2>&1 &
echo $! >>"$state/pids"

# Both answer once a probe through the proxy reaches the web server.
probe() {
  /usr/bin/python3 -c "import urllib.request as u
for proxy in ({}, {'http': 'http://127.0.0.1:$pport'}):
    u.build_opener(u.ProxyHandler(proxy)).open('http://127.0.0.1:$port/status/204', timeout=2)"
}
for _ in $(seq 50); do probe 2>/dev/null && break; sleep 0.2; done
probe 2>/dev/null || { echo "start-http: web server or tinyproxy does not answer" >&2; exit 1; }

echo "export ORVENDAL_TEST_HTTP_URL=http://127.0.0.1:$port"
echo "export ORVENDAL_TEST_HTTP_DIR=$http"
echo "export ORVENDAL_TEST_HTTPS_PORT=$(cat "$http/tlsport")"
echo "export ORVENDAL_TEST_PROXY=127.0.0.1:$pport"
