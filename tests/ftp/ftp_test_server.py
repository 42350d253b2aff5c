#!/usr/bin/python3
"""A real FTP server for the client tests: pyftpdlib on 127.0.0.1 with an ephemeral port.
Usage: ftp_test_server.py <state file> <home folder>. Writes "port\nhome\n" to the state file once it
listens, then serves until killed."""
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    state_file, home = sys.argv[1], sys.argv[2]
    os.makedirs(home, exist_ok=True)
    authorizer = DummyAuthorizer()
    authorizer.add_user("brimlark", "secret pass", home, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.passive_ports = None
    server = FTPServer(("127.0.0.1", 0), handler)
    port = server.socket.getsockname()[1]
    with open(state_file + ".tmp", "w") as f:
        f.write(f"{port}\n{home}\n")
    os.rename(state_file + ".tmp", state_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
