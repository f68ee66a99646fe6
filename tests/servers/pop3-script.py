# A scripted POP3 server without STLS (its rules: transport/README.md); each file in FOLDER is a
# message, and every command is appended to SEEN. Usage: pop3-script.py PORT FOLDER SEEN
import itertools
import os
import socketserver
import sys

FOLDER, SEEN = sys.argv[2:4]
FIXED = {"USER": "+OK", "PASS": "+OK", "NOOP": "+OK", "DELE": "+OK", "RSET": "+OK",
         "QUIT": "+OK bye", "STLS": "-ERR STLS nicht verfügbar", "CAPA": "+OK\r\nUSER\r\nTOP\r\n."}


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        mails = [(n, open(f"{FOLDER}/{n}", "rb").read()) for n in sorted(os.listdir(FOLDER))]
        self.wfile.write(b"+OK ready\r\n")
        for line in itertools.islice(self.rfile, 200):
            open(SEEN, "ab").write(line)
            command, *args = line.decode(errors="replace").upper().split() or [""]
            name, mail = mails[int(args[0]) - 1] if command in ("TOP", "RETR") else ("", b"")
            reply = FIXED.get(command, "-ERR unknown").encode()
            if command == "STAT":
                reply = b"+OK %d %d" % (len(mails), sum(len(m) for _, m in mails))
            elif command == "LIST":
                reply = b"\r\n".join([b"+OK"] + [b"%d %d" % (i, len(m)) for i, (_, m) in
                                                 enumerate(mails, 1)] + [b"."])
            elif command == "TOP":  # the header only, or refused by the file name
                head = b"+OK\r\n%s\r\n\r\n." % mail.split(b"\r\n\r\n", 1)[0]
                reply = b"-ERR Kopf nicht lesbar" if "refuse-top" in name else head
            elif command == "RETR":  # refused, or the connection ends mid-message, by the name
                whole = b"+OK\r\n%s\r\n." % mail.replace(b"\r\n.", b"\r\n..")
                drop = b"+OK\r\nFrom: x" if "drop-retr" in name else whole
                reply = b"-ERR Nachricht gesperrt" if "refuse-retr" in name else drop
            self.wfile.write(reply + b"\r\n")
            if command == "QUIT" or (command == "RETR" and "drop-retr" in name):
                return


socketserver.ThreadingTCPServer.allow_reuse_address = True
socketserver.ThreadingTCPServer(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
