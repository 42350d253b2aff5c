#!/usr/bin/python3
"""The update site for the update tests: HTTPS on 127.0.0.1, an ephemeral port, a certificate for "localhost";
beside it an anonymous, read-only FTP server (pyftpdlib) on the same folder, for ftp:// downloads.

Usage: https_test_server.py <state file> <www folder> <certificate> <key>. Writes
"port\nwww folder\ncertificate\nFTP port\n" to the state file once both listen, then serves until killed.

A request for /<behaviour>/<folder>/<path> is answered from the file <www folder>/<folder>/<path>, which the
test wrote, in the way <behaviour> names (below), and is noted as a line "<path> TAB <Referer> TAB
<User-Agent>" in <www folder>/<folder>/requests.log, so that a test can tell what the program asked for.
A file that is not there is answered with 404 and a page. The version page (a path ending in ".php") is
always served whole, except under "slowcheck" and "checkfails"; the behaviour applies to the other files:

  plain      200, Content-Length, the file
  nolength   200, no Content-Length: the end of the file is the end of the connection
  slow       200, Content-Length, the file in pieces of 4 KiB every 25 ms
  truncated  200, the file's Content-Length, then half the file and the connection closed
  status404  404 with a page of its own
  status500  500 with a page of its own
  slowcheck  the version page one byte every 200 ms (the other files as plain)
  checkfails the version page answered with 500 and a page

/bytes/<count>/<length|nolength> answers count bytes of a fixed pattern (byte i is i mod 251), with or
without a Content-Length."""
import os
import socket
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ERROR_PAGE = b"<html><head><title>Error</title></head><body><h1>Something went wrong</h1></body></html>\n"


def pattern(count):
    block = bytes(i % 251 for i in range(251 * 1024))
    whole, rest = divmod(count, len(block))
    for _ in range(whole):
        yield block
    if rest:
        yield block[:rest]


class Handler(BaseHTTPRequestHandler):
    # HTTP/1.0: every answer ends its connection, so that an answer without a length is still well formed.
    protocol_version = "HTTP/1.0"
    # A client that stops reading or talking is let go after this many seconds.
    timeout = 60
    www = ""

    def log_message(self, format, *args):
        sys.stderr.write("%s %s\n" % (self.address_string(), format % args))

    def send_page(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        try:
            self.answer()
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, socket.timeout):
            # The client went away (a cancelled download): nothing more to send.
            self.close_connection = True

    def answer(self):
        parts = self.path.split("?", 1)[0].strip("/").split("/")
        if len(parts) == 3 and parts[0] == "bytes":
            count = int(parts[1])
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            if parts[2] == "length":
                self.send_header("Content-Length", str(count))
            self.end_headers()
            for piece in pattern(count):
                self.wfile.write(piece)
            return
        if len(parts) < 3 or ".." in parts:
            self.send_page(404, ERROR_PAGE)
            return
        behaviour, folder, path = parts[0], parts[1], "/".join(parts[2:])
        base = os.path.join(self.www, folder)
        if os.path.isdir(base):
            with open(os.path.join(base, "requests.log"), "a") as log:
                log.write("%s\t%s\t%s\n" % (path, self.headers.get("Referer", ""), self.headers.get("User-Agent", "")))
        file_path = os.path.join(base, path)
        is_version_page = path.endswith(".php")
        if (is_version_page and behaviour == "checkfails") or (not is_version_page and behaviour == "status500"):
            self.send_page(500, ERROR_PAGE)
            return
        if (not is_version_page and behaviour == "status404") or not os.path.isfile(file_path):
            self.send_page(404, ERROR_PAGE)
            return
        with open(file_path, "rb") as source:
            content = source.read()
        self.send_response(200)
        self.send_header("Content-Type", "text/plain" if is_version_page else "application/octet-stream")
        if is_version_page or behaviour != "nolength":
            self.send_header("Content-Length", str(len(content)))
        self.end_headers()
        if is_version_page:
            if behaviour == "slowcheck":
                for i in range(len(content)):
                    self.wfile.write(content[i:i + 1])
                    self.wfile.flush()
                    time.sleep(0.2)
            else:
                self.wfile.write(content)
        elif behaviour == "slow":
            for start in range(0, len(content), 4096):
                self.wfile.write(content[start:start + 4096])
                self.wfile.flush()
                time.sleep(0.025)
        elif behaviour == "truncated":
            self.wfile.write(content[:len(content) // 2])
            self.wfile.flush()
            self.close_connection = True
        else:
            self.wfile.write(content)


class Server(ThreadingHTTPServer):
    """The TLS handshake happens on the connection's own thread, so that a client stuck in it holds up no
    other."""

    daemon_threads = True
    context = None

    def finish_request(self, request, client_address):
        request.settimeout(Handler.timeout)
        try:
            secure = self.context.wrap_socket(request, server_side=True)
        except (OSError, ssl.SSLError) as error:
            sys.stderr.write("%s handshake failed: %s\n" % (client_address[0], error))
            return
        try:
            Handler(secure, client_address, self)
        finally:
            secure.close()


def ftp_server(www):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    class ReadOnlyHandler(FTPHandler):
        pass

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(www, perm="elr")
    ReadOnlyHandler.authorizer = authorizer
    return FTPServer(("127.0.0.1", 0), ReadOnlyHandler)


def main():
    state_file, www, certificate, key = sys.argv[1:5]
    os.makedirs(www, exist_ok=True)
    Handler.www = www
    server = Server(("127.0.0.1", 0), Handler)
    server.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    server.context.load_cert_chain(certificate, key)
    port = server.socket.getsockname()[1]
    ftp = ftp_server(www)
    threading.Thread(target=ftp.serve_forever, daemon=True).start()
    temporary = state_file + ".new"
    with open(temporary, "w") as state:
        state.write("%d\n%s\n%s\n%d\n" % (port, www, certificate, ftp.socket.getsockname()[1]))
    os.replace(temporary, state_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
