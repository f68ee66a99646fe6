"""A POP3 server that answers the header walk and drops the connection on RETR: the loopback
peer for a download that breaks off. Serves one maildir-free message list given as files.
Usage: pop3-drop.py PORT FOLDER (each file in FOLDER is one message, in name order)"""
import os
import socketserver
import sys

FOLDER = sys.argv[2]
MAX_COMMANDS = 200


def messages():
    names = sorted(n for n in os.listdir(FOLDER) if not n.startswith("."))
    return [open(os.path.join(FOLDER, n), "rb").read() for n in names]


class Handler(socketserver.StreamRequestHandler):
    def send(self, line):
        self.wfile.write(line.encode() + b"\r\n")

    def handle(self):
        self.send("+OK ready")
        mails = messages()
        for _ in range(MAX_COMMANDS):
            line = self.rfile.readline()
            if not line:
                return
            words = line.decode(errors="replace").strip().split()
            command = words[0].upper() if words else ""
            if command in ("USER", "PASS", "NOOP", "DELE", "RSET"):
                self.send("+OK")
            elif command == "STAT":
                self.send("+OK %d %d" % (len(mails), sum(len(m) for m in mails)))
            elif command == "LIST":
                if len(words) > 1:
                    self.send("+OK %s %d" % (words[1], len(mails[int(words[1]) - 1])))
                    continue
                self.send("+OK")
                for i, m in enumerate(mails, 1):
                    self.send("%d %d" % (i, len(m)))
                self.send(".")
            elif command == "TOP":
                head = mails[int(words[1]) - 1].split(b"\r\n\r\n", 1)[0]
                self.send("+OK")
                self.wfile.write(head + b"\r\n\r\n.\r\n")
            elif command == "RETR":
                self.wfile.write(b"+OK\r\nFrom: x\r\n")
                self.wfile.flush()
                return  # drop mid-transfer
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
