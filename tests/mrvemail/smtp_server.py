"""A real SMTP server for the e-mailer's tests, built on aiosmtpd.

Every message it accepts is saved as received (msg-N.eml) and, decoded with
Python's own e-mail parser, as one JSON file (msg-N.json) in the output folder, so a test can check what arrived
without parsing MIME itself. The port it listens on (127.0.0.1, chosen by the
system) is written to the port file once the server accepts connections.

usage: smtp_server.py OUTDIR PORTFILE [--port N] [--refuse ADDRESS]... [--defer ADDRESS]...
                     [--refuse-sender] [--user NAME --password WORD]

--refuse answers a recipient with a permanent refusal (550), --defer with a
temporary one (451); --refuse-sender refuses every sender (550). Every QUIT
received leaves a file quit-N in OUTDIR before it is answered, so a test can
tell what a client did before it closed its session. --port listens on that port (a server started again
after a stop keeps its clients' port); messages already in OUTDIR are counted
on, never overwritten.
"""

import argparse
import asyncio
import base64
import email
import email.policy
import glob
import json
import os

from aiosmtpd.smtp import SMTP, AuthResult


class SavingHandler:
    def __init__(self, outdir, refused, deferred, refuse_sender=False):
        self.outdir = outdir
        self.refuse_sender = refuse_sender
        self.quits = len(glob.glob(os.path.join(outdir, "quit-*")))
        self.refused = {a.lower() for a in refused}
        self.deferred = {a.lower() for a in deferred}
        self.count = len(glob.glob(os.path.join(outdir, "msg-*.json")))

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if self.refuse_sender:
            return "550 5.7.1 <%s>: Sender address rejected" % address
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_QUIT(self, server, session, envelope):
        self.quits += 1
        open(os.path.join(self.outdir, "quit-%04d" % self.quits), "w").close()
        return "221 Bye"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.refused:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        if address.lower() in self.deferred:
            return "451 4.2.0 <%s>: Mailbox busy, try again later" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        msg = email.message_from_bytes(envelope.content, policy=email.policy.default)
        body = msg.get_body(preferencelist=("plain",))
        attachments = []
        for part in msg.iter_attachments():
            attachments.append({
                "filename": part.get_filename(),
                "content_type": part.get_content_type(),
                "data": base64.b64encode(part.get_payload(decode=True) or b"").decode("ascii"),
            })
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "from": str(msg.get("From", "")),
            "to": str(msg.get("To", "")),
            "cc": str(msg.get("Cc", "")),
            "subject": str(msg.get("Subject", "")),
            "body": body.get_content() if body is not None else None,
            "attachments": attachments,
            "raw": envelope.content.decode("latin-1"),
        }
        self.count += 1
        with open(os.path.join(self.outdir, "msg-%04d.eml" % self.count), "wb") as f:
            f.write(envelope.original_content or envelope.content)
        name = os.path.join(self.outdir, "msg-%04d.json" % self.count)
        with open(name + ".tmp", "w", encoding="utf-8") as f:
            json.dump(record, f)
        os.replace(name + ".tmp", name)
        return "250 Message accepted"


class PasswordCheck:
    def __init__(self, user, password):
        self.user = user.encode()
        self.password = password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = auth_data.login == self.user and auth_data.password == self.password
        return AuthResult(success=ok, handled=False)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("outdir")
    parser.add_argument("portfile")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--refuse", action="append", default=[])
    parser.add_argument("--defer", action="append", default=[])
    parser.add_argument("--refuse-sender", action="store_true")
    parser.add_argument("--user")
    parser.add_argument("--password", default="")
    args = parser.parse_args()

    handler = SavingHandler(args.outdir, args.refuse, args.defer, args.refuse_sender)
    options = {}
    if args.user:
        options = dict(authenticator=PasswordCheck(args.user, args.password),
                       auth_require_tls=False, auth_required=True)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(
        loop.create_server(lambda: SMTP(handler, loop=loop, **options), "127.0.0.1", args.port,
                           reuse_address=True))
    port = server.sockets[0].getsockname()[1]
    with open(args.portfile + ".tmp", "w") as f:
        f.write(str(port))
    os.replace(args.portfile + ".tmp", args.portfile)
    loop.run_forever()


if __name__ == "__main__":
    main()
