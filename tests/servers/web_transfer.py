# Loopback HTTP(S) server for the tests: the web transfer script, static files and faults
# (paths: transport/README.md; STATE_DIR holds uploads/, download/, files/ and probe/).
# Usage: web_transfer.py STATE_DIR PORT KEY [TLS_PORT:CERT...]
import http.server
import itertools
import os
import ssl
import sys
import threading

STATE, PORT, KEY = sys.argv[1:4]
lock, uploads = threading.Lock(), itertools.count(1)


def stored(folder, name, missing=None):
    path = os.path.join(STATE, folder, os.path.basename(name))
    return open(path, "rb").read() if os.path.isfile(path) else missing


class Handler(http.server.BaseHTTPRequestHandler):
    timeout = 30  # a client that stalls does not hold its thread for ever

    def do_POST(self):
        self.do_GET(self.rfile.read(int(self.headers.get("Content-Length", "0"))))

    def do_GET(self, body=None):
        path, _, query = self.path.partition("?")
        parts, args = path.strip("/").split("/"), query.split("&")
        code, content, length, upload = 200, b"", None, ""
        if parts[0] == "status":
            code, content = int(parts[1]), b"status page"
        elif parts[0] == "files":
            data = stored("files", parts[1])
            code, content = (404, b"") if data is None else (200, data)
        elif parts[0] == "drop":  # announces more than it sends, then closes
            content, length, self.close_connection = b"x" * 1000, 100000, True
        elif body is not None:
            upload = os.path.join(STATE, "uploads", "%03d.body" % next(uploads))
            open(upload, "wb").write(body)
        elif args[1:2] == ["-2"]:
            content = stored("probe", args[0] + ".txt", b"OK")
        elif args[1:2] == ["100"]:
            content = stored("download", args[0] + ".z", b"")
        else:
            code = 400
        with lock, open(os.path.join(STATE, "requests.log"), "a") as log:
            log.write("\t".join([self.command, self.path, self.headers.get("User-Agent", ""),
                                 self.headers.get("Via", ""), upload]) + "\n")
        self.send_response(code)
        self.send_header("Content-Length", str(length or len(content)))
        self.end_headers()
        self.wfile.write(content)


for port, cert in (spec.split(":", 1) for spec in sys.argv[4:]):
    tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.load_cert_chain(cert, KEY)
    secure = http.server.ThreadingHTTPServer(("127.0.0.1", int(port)), Handler)
    secure.socket = tls.wrap_socket(secure.socket, server_side=True)
    threading.Thread(target=secure.serve_forever, daemon=True).start()
http.server.ThreadingHTTPServer(("127.0.0.1", int(PORT)), Handler).serve_forever()
