#!/usr/bin/env python3
"""Serves a folder of static files (the web site) on 127.0.0.1 alone.

Binds a free port unless one is given, prints the address on its first line once it listens, and serves
until it is stopped. The WebAssembly module goes out as application/wasm, which a browser needs to compile
it while it arrives; nothing is cached, so a rebuilt site is what a reload shows.
"""
import argparse
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, ".wasm": "application/wasm"}

    def end_headers(self):
        self.send_header("Cache-Control", "no-store")
        super().end_headers()

    def log_message(self, format, *args):  # quiet: the address is all a user needs
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", help="the folder to serve")
    parser.add_argument("--port", type=int, default=0, help="the port (default: a free one)")
    args = parser.parse_args()
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", args.port), functools.partial(Handler, directory=args.folder))
    print(f"http://127.0.0.1:{server.server_address[1]}/", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
