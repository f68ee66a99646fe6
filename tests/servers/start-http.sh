# Sourced by with-servers.sh: the loopback web transfer server (web_transfer.py: HTTP, HTTPS, and
# HTTPS with the expired certificate) and a tinyproxy on loopback that logs to its output.
http=$state/http proxy=$state/tinyproxy
mkdir -p "$http"/{uploads,download,files,probe} "$proxy"
port=$(free_port) tlsport=$(free_port) expired=$(free_port) pport=$(free_port)
/usr/bin/python3 "$here/web_transfer.py" "$http" "$port" "$ORVENDAL_TEST_KEY" \
  "$tlsport:$ORVENDAL_TEST_CERT" "$expired:$tls/expired.pem" >"$http/server.log" 2>&1 &
# No Via-header setting: tinyproxy then adds its Via header, which the tests look for.
printf 'Port %s\nListen 127.0.0.1\n' "$pport" >"$proxy/tinyproxy.conf"
tinyproxy -d -c "$proxy/tinyproxy.conf" >"$proxy/tinyproxy.out" 2>&1 &
# Both answer once a request through the proxy reaches the web server.
probe() {
  (exec 3<>"/dev/tcp/127.0.0.1/$pport" &&
    printf "GET http://127.0.0.1:$port/status/204 HTTP/1.0\r\n\r\n" >&3 &&
    read -r -t 2 status <&3 && [[ $status == *" 204 "* ]]) 2>/dev/null
}
for _ in $(seq 50); do probe && break; sleep 0.2; done
probe || { echo "start-http: web server or tinyproxy does not answer" >&2; exit 1; }
export ORVENDAL_TEST_HTTP_URL=http://127.0.0.1:$port ORVENDAL_TEST_HTTP_DIR=$http
export ORVENDAL_TEST_HTTPS_PORT=$tlsport ORVENDAL_TEST_EXPIRED_PORT=$expired
export ORVENDAL_TEST_PROXY=127.0.0.1:$pport
