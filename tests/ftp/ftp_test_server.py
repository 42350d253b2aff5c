#!/usr/bin/python3
"""Real FTP servers for the client tests: pyftpdlib on 127.0.0.1, ephemeral ports: one plain, one that
requires TLS on the control and data connections, and one that cuts every download after 64 KiB.
Usage: ftp_test_server.py <state file> <home folder> <certificate> <key>. Writes
"port\nhome\ntls port\nbreaking port\nno-replace port\nshort port\ngerman port\nno-UTF-8 port\nno-MFMT port\ndropping port\n" to the state file once all listen, then serves until
killed. Besides "brimlark", the users "norename" and "nolist" (same password and home) may do everything but
rename, or list."""
import calendar
import os
import re
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import BufferedIteratorProducer, DTPHandler, FTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    state_file, home, certificate, key = sys.argv[1:5]
    os.makedirs(home, exist_ok=True)
    authorizer = DummyAuthorizer()
    authorizer.add_user("brimlark", "secret pass", home, perm="elradfmwMT")
    authorizer.add_user("norename", "secret pass", home, perm="elradmwMT")
    authorizer.add_user("nolist", "secret pass", home, perm="eradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.passive_ports = None
    # A failed login is answered at once: the tests that try wrong passwords need not wait.
    handler.auth_failed_timeout = 0
    server = FTPServer(("127.0.0.1", 0), handler)
    port = server.socket.getsockname()[1]

    def serve(handler_class):
        """Another server of the same users in the same event loop; returns its port."""
        handler_class.authorizer = authorizer
        handler_class.auth_failed_timeout = 0
        return FTPServer(("127.0.0.1", 0), handler_class, ioloop=server.ioloop).socket.getsockname()[1]

    class SecureHandler(TLS_FTPHandler):
        pass

    SecureHandler.authorizer = authorizer
    SecureHandler.auth_failed_timeout = 0
    SecureHandler.certfile = certificate
    SecureHandler.keyfile = key
    SecureHandler.tls_control_required = True
    SecureHandler.tls_data_required = True
    secure = FTPServer(("127.0.0.1", 0), SecureHandler, ioloop=server.ioloop)
    tls_port = secure.socket.getsockname()[1]

    class CuttingDTP(DTPHandler):
        """Closes an outgoing data connection once 64 KiB have gone out, as a failing server would."""

        def send(self, data):
            sent = super().send(data)
            self.sent_so_far = getattr(self, "sent_so_far", 0) + (sent or 0)
            if not self.receive and self.sent_so_far >= 65536 and not getattr(self, "cut_planned", False):
                # Cut from the event loop, not from inside the send in progress, so that exactly one
                # reply (426) follows.
                self.cut_planned = True
                self.ioloop.call_later(0, self.cut)
            return sent

        def cut(self):
            if self._closed:
                return
            cmd_channel = self.cmd_channel
            self.close()
            cmd_channel.respond("426 Connection closed; transfer aborted.")

    class CuttingHandler(FTPHandler):
        pass

    CuttingHandler.dtp_handler = CuttingDTP
    CuttingHandler.use_sendfile = False  # the cut happens in send()
    breaking_port = serve(CuttingHandler)

    class NoReplaceHandler(FTPHandler):
        """Refuses to rename over an existing file, as some servers do."""

        def ftp_RNTO(self, path):
            if os.path.exists(path):
                self.respond("553 Target exists.")
                self._rnfr = None
                return
            return super().ftp_RNTO(path)

    no_replace_port = serve(NoReplaceHandler)

    class ShortHandler(FTPHandler):
        """Sends at most the first MiB of a file and then reports the transfer complete (226)."""

        def ftp_RETR(self, file):
            with open(file, "rb") as f:
                data = f.read(1 << 20)
            self.push_dtp_data(data, isproducer=False, cmd="RETR")

    short_port = serve(ShortHandler)

    class GermanFS(AbstractedFS):
        """LIST lines with German month names, as a server on a German system writes them."""

        MONTHS = {b" Mar ": " M\u00e4r ".encode("utf-8"), b" May ": b" Mai ", b" Oct ": b" Okt ", b" Dec ": b" Dez "}

        def format_list(self, basedir, listing, ignore_err=True):
            for line in super().format_list(basedir, listing, ignore_err):
                for english, german in self.MONTHS.items():
                    line = line.replace(english, german)
                yield line

    class GermanHandler(FTPHandler):
        """LIST only (no MLSD), in German."""
        proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items() if k not in ("MLSD", "MLST")}

    GermanHandler.abstracted_fs = GermanFS
    german_port = serve(GermanHandler)

    class NoUtf8Handler(FTPHandler):
        """Neither lists nor takes UTF-8: names travel in Windows-1252."""

        def decode(self, data):
            return data.decode("cp1252", self.unicode_errors)

        def ftp_FEAT(self, line):
            self.push("211-Features supported:\r\n MDTM\r\n MFMT\r\n MLST type*;size*;modify*;\r\n SIZE\r\n"
                      "211 End FEAT.\r\n")

        def ftp_OPTS(self, line):
            if line.upper().startswith("UTF8"):
                self.respond("501 UTF8 not supported.")
                return
            return super().ftp_OPTS(line)

    no_utf8_port = serve(NoUtf8Handler)

    class NoMfmtHandler(FTPHandler):
        """No MFMT; times are set with "MDTM YYYYMMDDHHMMSS path", as vsftpd does."""
        proto_cmds = {k: dict(v) for k, v in FTPHandler.proto_cmds.items() if k != "MFMT"}
        proto_cmds["MDTM"]["perm"] = None  # the argument arrives as written

        def ftp_MDTM(self, line):
            match = re.match(r"^(\d{14}) (.+)$", line)
            if not match:
                return super().ftp_MDTM(self.fs.ftp2fs(line))
            path = self.fs.ftp2fs(match.group(2))
            if not self.fs.isfile(path):
                self.respond("550 Could not set file modification time.")
                return
            stamp = calendar.timegm(time.strptime(match.group(1), "%Y%m%d%H%M%S"))
            os.utime(path, (stamp, stamp))
            self.respond("213 File modification time set.")

    no_mfmt_port = serve(NoMfmtHandler)

    flaky_listings = {}

    class DroppingHandler(FTPHandler):
        """Drops the whole session (control connection and all) when a transfer of a file whose name holds
        "drop-connection" begins, as a server that restarts or a broken link would; and refuses every second
        listing of each folder whose path holds "flaky-listing" with a transient 425; and lists a folder
        whose path holds "endless-listing" without end."""

        def flaky(self, path):
            if "flaky-listing" not in path:
                return False
            flaky_listings[path] = flaky_listings.get(path, 0) + 1
            if flaky_listings[path] % 2:
                return False
            self.respond("425 Can't open data connection.")
            return True

        def endless(self, path, cmd):
            """A folder whose path holds "endless-listing" is listed without end, as a hostile server would."""
            if "endless-listing" not in path:
                return False

            def lines():
                line = b"type=file;size=1;modify=20240101000000; padding to make a long line of a listing.txt\r\n"
                chunk = line * 1000
                while True:
                    yield chunk

            self.push_dtp_data(BufferedIteratorProducer(lines()), isproducer=True, cmd=cmd)
            return True

        def ftp_MLSD(self, path):
            if self.flaky(path) or self.endless(path, "MLSD"):
                return None
            return super().ftp_MLSD(path)

        def ftp_LIST(self, path):
            if self.flaky(path) or self.endless(path, "LIST"):
                return None
            return super().ftp_LIST(path)

        def ftp_RETR(self, file):
            if "drop-connection" in os.path.basename(file):
                return self.close()
            return super().ftp_RETR(file)

        def ftp_STOR(self, file, mode="w"):
            if "drop-connection" in os.path.basename(file):
                return self.close()
            return super().ftp_STOR(file, mode)

    dropping_port = serve(DroppingHandler)

    with open(state_file + ".tmp", "w") as f:
        f.write(f"{port}\n{home}\n{tls_port}\n{breaking_port}\n{no_replace_port}\n{short_port}\n{german_port}\n"
                f"{no_utf8_port}\n{no_mfmt_port}\n{dropping_port}\n")
    os.rename(state_file + ".tmp", state_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
