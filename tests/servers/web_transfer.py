#!/usr/bin/python3
"""Loopback HTTP server for the tests: the web transfer script, static files and faults.

Usage: web_transfer.py STATE_DIR [LIFETIME_SECONDS [CERT KEY]]

Binds 127.0.0.1 on a free port and writes the port to STATE_DIR/port; with CERT and KEY it
also serves HTTPS on a second port, written to STATE_DIR/tlsport. Everything the server
sees or serves lives under STATE_DIR, so tests arrange replies and read what arrived:

  GET  /any?DEV&-2        probe: the text of probe/DEV.txt, "OK" when that file is missing
  GET  /any?DEV&100[&0]   download: the bytes of download/DEV.z, empty when missing
  POST /any               upload: stored as uploads/NNN.body with NNN.agent, NNN.path, NNN.via
  GET  /files/NAME        the file files/NAME (404 when missing)
  GET  /status/CODE       answers with that status code
  GET  /drop              announces more bytes than it sends, then closes the connection

Every request is appended to requests.log as "METHOD<TAB>path<TAB>agent<TAB>via".
The server stops by itself after LIFETIME_SECONDS (default 3600).
"""

import http.server
import os
import ssl
import sys
import threading

MAX_BODY = 64 * 1024 * 1024


class Handler(http.server.BaseHTTPRequestHandler):
    state = ""
    lock = threading.Lock()
    timeout = 30  # a client that stalls does not hold its thread for ever

    def record(self):
        line = "\t".join([self.command, self.path, self.headers.get("User-Agent", ""),
                          self.headers.get("Via", "")])
        with self.lock, open(os.path.join(self.state, "requests.log"), "a") as log:
            log.write(line + "\n")

    def reply(self, code, body=b""):
        self.send_response(code)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def read_file(self, folder, name):
        path = os.path.join(self.state, folder, os.path.basename(name))
        return open(path, "rb").read() if os.path.isfile(path) else None

    def special(self):
        """Answers the fault and file paths; False when the path is the transfer script's."""
        parts = self.path.split("?", 1)[0].strip("/").split("/")
        if len(parts) == 2 and parts[0] == "status" and parts[1].isdigit():
            self.reply(int(parts[1]), b"status page")
        elif len(parts) == 2 and parts[0] == "files":
            content = self.read_file("files", parts[1])
            self.reply(404 if content is None else 200, content or b"")
        elif parts == ["drop"]:
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.write(b"x" * 1000)
            self.wfile.flush()
            self.close_connection = True
        else:
            return False
        return True

    def do_GET(self):
        self.record()
        if self.special():
            return
        query = self.path.split("?", 1)[1].split("&") if "?" in self.path else []
        device = query[0] if query else ""
        if len(query) >= 2 and query[1] == "-2":
            probe = self.read_file("probe", device + ".txt")
            self.reply(200, b"OK" if probe is None else probe)
        elif len(query) >= 2 and query[1] == "100":
            self.reply(200, self.read_file("download", device + ".z") or b"")
        else:
            self.reply(400, b"unknown request")

    def do_POST(self):
        self.record()
        length = int(self.headers.get("Content-Length", "0"))
        if length < 0 or length > MAX_BODY:
            self.reply(413)
            return
        body = self.rfile.read(length)
        if self.special():
            return
        with self.lock:
            folder = os.path.join(self.state, "uploads")
            number = len([n for n in os.listdir(folder) if n.endswith(".body")]) + 1
            stem = os.path.join(folder, "%03d" % number)
            for suffix, data in ((".agent", self.headers.get("User-Agent", "")),
                                 (".path", self.path), (".via", self.headers.get("Via", ""))):
                with open(stem + suffix, "w") as f:
                    f.write(data)
            with open(stem + ".body", "wb") as f:  # last: a .body means the upload is complete
                f.write(body)
        self.reply(200, b"OK")


def serve(state, name, lifetime, context=None):
    """Serves on a free loopback port in a thread of its own; the port goes to STATE/name."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if context:
        server.socket = context.wrap_socket(server.socket, server_side=True)
    with open(os.path.join(state, name + ".tmp"), "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(os.path.join(state, name + ".tmp"), os.path.join(state, name))
    threading.Timer(lifetime, server.shutdown).start()
    threading.Thread(target=server.serve_forever).start()


def main():
    state = sys.argv[1]
    lifetime = float(sys.argv[2]) if len(sys.argv) > 2 else 3600.0
    for folder in ("uploads", "download", "files", "probe"):
        os.makedirs(os.path.join(state, folder), exist_ok=True)
    Handler.state = state
    if len(sys.argv) > 4:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[3], sys.argv[4])
        serve(state, "tlsport", lifetime, context)
    serve(state, "port", lifetime)


if __name__ == "__main__":
    main()
