#!/usr/bin/python3
# The sandbox's wallet archive server: pyftpdlib on a free loopback port, serving the sample
# archive with the accounts of the real servers (read-only). Usage: ftp_server.py ROOT PORTFILE
# [PORT] (ROOT is the sandbox; the port, free unless given, is written to PORTFILE once the
# server listens).
import json
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


class CutShort:
    """A file that ends at byte `limit` of the real one, wherever the transfer starts (a
    resumed transfer gets no more than the first did). No fileno: pyftpdlib then reads it
    instead of using sendfile()."""

    def __init__(self, f, limit):
        self._f, self._limit = f, limit
        self.name = f.name

    def read(self, size=-1):
        left = max(0, self._limit - self._f.tell())
        return self._f.read(left if size is None or size < 0 else min(size, left))

    def seek(self, *args):
        return self._f.seek(*args)

    def tell(self):
        return self._f.tell()

    def close(self):
        self._f.close()

    @property
    def closed(self):
        return self._f.closed


def filesystem_for(root):
    """The server's file system: files named in config.json's ftp.send_at_most (path relative
    to the FTP root: byte count) are sent only up to that count. Read at each open, so a test
    can cut a file short while the server runs."""
    ftp_root = os.path.realpath(os.path.join(root, "ftp"))
    config_file = os.path.join(root, "config", "config.json")

    class SandboxFS(AbstractedFS):
        def open(self, filename, mode):
            f = super().open(filename, mode)
            try:
                with open(config_file, encoding="utf-8") as c:
                    limits = json.load(c)["ftp"].get("send_at_most", {})
            except (OSError, ValueError, KeyError):
                limits = {}
            rel = os.path.relpath(os.path.realpath(filename), ftp_root)
            if "r" in mode and rel in limits:
                return CutShort(f, int(limits[rel]))
            return f

    return SandboxFS


def main():
    root, port_file = sys.argv[1], sys.argv[2]
    wanted_port = int(sys.argv[3]) if len(sys.argv) > 3 else 0
    with open(os.path.join(root, "config", "config.json"), encoding="utf-8") as f:
        config = json.load(f)
    authorizer = DummyAuthorizer()
    for account in config["ftp"]["accounts"]:
        authorizer.add_user(account["user"], account["password"],
                            os.path.join(root, "ftp"), perm="elr")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.abstracted_fs = filesystem_for(root)
    handler.passive_ports = None
    handler.masquerade_address = None
    # A server that trickles: config ftp.bytes_per_second caps every transfer.
    rate = config["ftp"].get("bytes_per_second")
    if rate:
        ThrottledDTPHandler.read_limit = rate
        ThrottledDTPHandler.write_limit = rate
        handler.dtp_handler = ThrottledDTPHandler
    server = FTPServer(("127.0.0.1", wanted_port), handler)
    port = server.socket.getsockname()[1]
    tmp = port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(port))
    os.replace(tmp, port_file)
    server.serve_forever(timeout=1.0)


if __name__ == "__main__":
    main()
