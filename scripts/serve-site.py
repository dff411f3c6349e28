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

    log = None  # where requests are written, one line each (--log); none by default: the address is all a user needs

    def log_message(self, format, *args):
        if self.log is not None:
            print(f'{self.address_string()} - - [{self.log_date_time_string()}] {format % args}', file=self.log,
                  flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", help="the folder to serve")
    parser.add_argument("--port", type=int, default=0, help="the port (default: a free one)")
    parser.add_argument("--log", help="a file to write each request to, as the line a web server logs")
    args = parser.parse_args()
    if args.log:
        Handler.log = open(args.log, "a", encoding="utf-8")  # pylint: disable=consider-using-with
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
