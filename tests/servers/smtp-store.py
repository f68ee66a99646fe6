# Three loopback SMTP servers (plain with AUTH for password "pw", STARTTLS required, TLS)
# storing each message as FOLDER/NNNN.eml after X-Envelope-From/To/TLS lines; each AUTH and DATA
# is appended to SEEN with its TLS state.
# Usage: smtp-store.py FOLDER SEEN CERT KEY PLAIN_PORT STARTTLS_PORT TLS_PORT
import asyncio
import itertools
import os
import ssl
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult

FOLDER, SEEN, CERT, KEY, PLAIN, STARTTLS, TLS = sys.argv[1:8]
counter = itertools.count(1)


def seen(server, command):
    tls = "no" if server.transport.get_extra_info("ssl_object") is None else "yes"
    open(SEEN, "a").write("%s tls=%s\n" % (command, tls))
    return tls


class Store:
    async def handle_DATA(self, server, session, envelope):
        head = "X-Envelope-From: %s\r\nX-Envelope-To: %s\r\nX-Envelope-TLS: %s\r\n" % (
            envelope.mail_from, ",".join(envelope.rcpt_tos), seen(server, "DATA"))
        name = os.path.join(FOLDER, "%04d.eml" % next(counter))
        open(name, "wb").write(head.encode() + envelope.original_content)
        return "250 OK"


def authenticate(server, session, envelope, mechanism, auth_data):
    seen(server, "AUTH")
    return AuthResult(success=auth_data.password == b"pw", handled=False)


context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(CERT, KEY)
for port, extra in ((TLS, dict(ssl_context=context, auth_require_tls=False)),
                    (STARTTLS, dict(tls_context=context, require_starttls=True)),
                    (PLAIN, dict(auth_require_tls=False))):
    Controller(Store(), port=int(port), hostname="127.0.0.1", authenticator=authenticate,
               **extra).start()
asyncio.get_event_loop().run_forever()
