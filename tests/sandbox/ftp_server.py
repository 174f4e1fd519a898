#!/usr/bin/python3
# The sandbox's wallet archive server: pyftpdlib on a free loopback port, serving the sample
# archive with the accounts of the real servers (read-only). Usage: ftp_server.py ROOT PORTFILE
# (ROOT is the sandbox; the port is written to PORTFILE once the server listens).
import json
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root, port_file = sys.argv[1], sys.argv[2]
    with open(os.path.join(root, "config", "config.json"), encoding="utf-8") as f:
        config = json.load(f)
    authorizer = DummyAuthorizer()
    for account in config["ftp"]["accounts"]:
        authorizer.add_user(account["user"], account["password"],
                            os.path.join(root, "ftp"), perm="elr")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.passive_ports = None
    handler.masquerade_address = None
    # A server that trickles: config ftp.bytes_per_second caps every transfer.
    rate = config["ftp"].get("bytes_per_second")
    if rate:
        ThrottledDTPHandler.read_limit = rate
        ThrottledDTPHandler.write_limit = rate
        handler.dtp_handler = ThrottledDTPHandler
    server = FTPServer(("127.0.0.1", 0), handler)
    port = server.socket.getsockname()[1]
    tmp = port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(port))
    os.replace(tmp, port_file)
    server.serve_forever(timeout=1.0)


if __name__ == "__main__":
    main()
