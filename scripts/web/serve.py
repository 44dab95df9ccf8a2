#!/usr/bin/env python3
"""Serves the watch page on loopback: web/ at /, Debian's JavaScript libraries
(libjs-janus-gateway, libjs-webrtc-adapter) at /javascript/. With --report
FILE, what the page posts to /report is appended to FILE, one line each.
Prints the address it listens on, then serves until it is stopped."""

import argparse
import functools
import http.server
import os
import sys

LIBRARIES = "/usr/share/javascript"
# A page's report is a few hundred bytes; anything larger is refused.
MAX_REPORT = 64 * 1024


class Handler(http.server.SimpleHTTPRequestHandler):
    report = None

    def translate_path(self, path):
        if path.startswith("/javascript/"):
            relative = path[len("/javascript/"):].split("?", 1)[0]
            full = os.path.realpath(os.path.join(LIBRARIES, relative))
            return full if full.startswith(LIBRARIES + os.sep) else ""
        return super().translate_path(path)

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        if self.path != "/report" or not self.report or not 0 < length <= MAX_REPORT:
            self.send_error(404 if self.path != "/report" else 400)
            return
        body = self.rfile.read(length).replace(b"\n", b" ")
        with open(self.report, "ab") as out:
            out.write(body + b"\n")
        self.send_response(204)
        self.end_headers()

    def log_message(self, *args):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default=os.path.join(os.path.dirname(__file__), "..", "..", "web"))
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--report")
    options = parser.parse_args()
    Handler.report = options.report
    handler = functools.partial(Handler, directory=os.path.realpath(options.root))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", options.port), handler)
    print("http://127.0.0.1:%d/" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
