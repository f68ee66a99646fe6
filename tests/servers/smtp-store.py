"""Loopback SMTP servers for the tests: each received message is stored as NNNN.eml in FOLDER,
preceded by "X-Envelope-From:", "X-Envelope-To:" (recipients comma-joined) and "X-Envelope-TLS:"
(yes or no). Three servers share the folder: PLAIN offers no STARTTLS but accepts AUTH in plain
text (so a client that falls back to plain text shows up), STARTTLS requires STARTTLS, TLS is
TLS from the first byte. What each saw goes to FOLDER/../smtp-seen.log, one line per AUTH and MAIL:
"COMMAND tls=yes|no".
Usage: smtp-store.py FOLDER CERT KEY PLAIN_PORT STARTTLS_PORT TLS_PORT"""
import asyncio
import itertools
import os
import ssl
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult

FOLDER, CERT, KEY = sys.argv[1:4]
SEEN = os.path.join(FOLDER, "..", "smtp-seen.log")
counter = itertools.count(1)


def tls(server):
    return "no" if server.transport.get_extra_info("ssl_object") is None else "yes"


def seen(server, command):
    with open(SEEN, "a") as log:
        log.write("%s tls=%s\n" % (command, tls(server)))


class Store:
    async def handle_MAIL(self, server, session, envelope, address, options):
        seen(server, "MAIL")
        envelope.mail_from = address
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        name = os.path.join(FOLDER, "%04d.eml" % next(counter))
        head = "X-Envelope-From: %s\r\nX-Envelope-To: %s\r\nX-Envelope-TLS: %s\r\n" % (
            envelope.mail_from, ",".join(envelope.rcpt_tos), tls(server))
        with open(name + ".tmp", "wb") as out:
            out.write(head.encode() + envelope.original_content)
        os.rename(name + ".tmp", name)
        return "250 OK"


def authenticate(server, session, envelope, mechanism, auth_data):
    seen(server, "AUTH")
    return AuthResult(success=True)


def main():
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(CERT, KEY)
    plain, starttls, implicit = (int(port) for port in sys.argv[4:7])
    options = dict(hostname="127.0.0.1", authenticator=authenticate)
    controllers = [
        Controller(Store(), port=implicit, ssl_context=context, auth_require_tls=False, **options),
        Controller(Store(), port=starttls, tls_context=context, require_starttls=True, **options),
        Controller(Store(), port=plain, auth_require_tls=False, **options)]
    for controller in controllers:
        controller.start()
    asyncio.get_event_loop().run_forever()


if __name__ == "__main__":
    main()
