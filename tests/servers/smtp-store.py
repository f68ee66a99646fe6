"""Loopback SMTP server for the tests: stores each received message as NNNN.eml in a folder,
preceded by two envelope lines "X-Envelope-From:" and "X-Envelope-To:" (recipients comma-joined).
Usage: smtp-store.py PORT FOLDER"""
import asyncio
import itertools
import os
import sys

from aiosmtpd.controller import Controller


class Store:
    def __init__(self, folder):
        self.folder = folder
        self.counter = itertools.count(1)

    async def handle_DATA(self, server, session, envelope):
        name = os.path.join(self.folder, "%04d.eml" % next(self.counter))
        head = "X-Envelope-From: %s\r\nX-Envelope-To: %s\r\n" % (
            envelope.mail_from, ",".join(envelope.rcpt_tos))
        with open(name + ".tmp", "wb") as out:
            out.write(head.encode() + envelope.original_content)
        os.rename(name + ".tmp", name)
        return "250 OK"


def main():
    port, folder = int(sys.argv[1]), sys.argv[2]
    controller = Controller(Store(folder), hostname="127.0.0.1", port=port)
    controller.start()
    try:
        asyncio.get_event_loop().run_forever()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
