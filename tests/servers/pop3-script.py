"""A scripted POP3 server: the loopback peer for refusals and broken downloads. Each file in
FOLDER is one message, in name order; a name containing "refuse-top" or "refuse-retr" makes the
server answer TOP or RETR for it with -ERR and a reason, "drop-retr" makes it drop the
connection in the middle of RETR. It offers no STLS. Every command it receives is appended to
FOLDER/.seen (the argument of PASS included, so a test sees any login).
Usage: pop3-script.py PORT FOLDER"""
import os
import socketserver
import sys

FOLDER = sys.argv[2]
MAX_COMMANDS = 200
FIXED = {"USER": "+OK", "PASS": "+OK", "NOOP": "+OK", "DELE": "+OK", "RSET": "+OK",
         "STLS": "-ERR STLS nicht verfügbar", "CAPA": "+OK\r\nUSER\r\nTOP\r\n."}


class Handler(socketserver.StreamRequestHandler):
    def send(self, line):
        self.wfile.write(line.encode() + b"\r\n")  # one line, or several joined by CR LF

    def handle(self):
        self.send("+OK ready")
        mails = [(n, open(os.path.join(FOLDER, n), "rb").read())
                 for n in sorted(os.listdir(FOLDER)) if not n.startswith(".")]
        for _ in range(MAX_COMMANDS):
            line = self.rfile.readline()
            if not line:
                return
            with open(os.path.join(FOLDER, ".seen"), "ab") as seen:
                seen.write(line)
            words = line.decode(errors="replace").strip().split()
            command = words[0].upper() if words else ""
            name, mail = mails[int(words[1]) - 1] if command in ("TOP", "RETR") else ("", b"")
            if command in FIXED:
                self.send(FIXED[command])
            elif command == "STAT":
                self.send("+OK %d %d" % (len(mails), sum(len(m) for _, m in mails)))
            elif command == "LIST":
                self.send("\r\n".join(["+OK"] + ["%d %d" % (i, len(m)) for i, (_, m) in
                                                   enumerate(mails, 1)] + ["."]))
            elif command == "TOP" and "refuse-top" in name:
                self.send("-ERR Kopf nicht lesbar")
            elif command == "TOP":
                self.send("+OK")
                self.wfile.write(mail.split(b"\r\n\r\n", 1)[0] + b"\r\n\r\n.\r\n")
            elif command == "RETR" and "refuse-retr" in name:
                self.send("-ERR Nachricht gesperrt")
            elif command == "RETR" and "drop-retr" in name:
                self.wfile.write(b"+OK\r\nFrom: x\r\n")
                return
            elif command == "RETR":
                self.send("+OK")
                self.wfile.write(mail.replace(b"\r\n.", b"\r\n..") + b"\r\n.\r\n")
            elif command == "QUIT":
                self.send("+OK bye")
                return
            else:
                self.send("-ERR unknown")


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


if __name__ == "__main__":
    Server(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
