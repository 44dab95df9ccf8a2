#!/usr/bin/env python3
"""Takes a picture of a page in headless Chromium once it shows what it should:
  screenshot.py URL OUT.png [--wait-for TEXT] [--size 1100x760] [--timeout 60]
Chromium is driven through its DevTools protocol over a WebSocket on loopback
(written out here: the protocol needs only text frames). The picture is taken
once the page's text contains TEXT."""

import argparse
import base64
import json
import os
import socket
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request


class DevTools:
    def __init__(self, ws_url):
        host_port, path = ws_url[len("ws://"):].split("/", 1)
        host, port = host_port.split(":")
        self.sock = socket.create_connection((host, int(port)), timeout=30)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(("GET /%s HTTP/1.1\r\nHost: %s\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                           "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n" % (path, host_port, key)).encode())
        reply = b""
        while b"\r\n\r\n" not in reply:
            reply += self.sock.recv(4096)
        if b" 101 " not in reply.split(b"\r\n", 1)[0]:
            raise RuntimeError("no WebSocket: %r" % reply[:80])
        self.pending = reply.split(b"\r\n\r\n", 1)[1]
        self.next_id = 0

    def _read(self, count):
        while len(self.pending) < count:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise RuntimeError("DevTools closed the connection")
            self.pending += chunk
        data, self.pending = self.pending[:count], self.pending[count:]
        return data

    def _frame(self):
        head = self._read(2)
        length = head[1] & 0x7F
        if length == 126:
            length = struct.unpack(">H", self._read(2))[0]
        elif length == 127:
            length = struct.unpack(">Q", self._read(8))[0]
        return head[0] & 0x0F, self._read(length)

    def call(self, method, **params):
        self.next_id += 1
        payload = json.dumps({"id": self.next_id, "method": method, "params": params}).encode()
        mask = os.urandom(4)
        header = bytes([0x81])
        if len(payload) < 126:
            header += bytes([0x80 | len(payload)])
        else:
            header += bytes([0x80 | 126]) + struct.pack(">H", len(payload))
        self.sock.sendall(header + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))
        while True:
            opcode, data = self._frame()
            if opcode == 1:
                message = json.loads(data)
                if message.get("id") == self.next_id:
                    return message.get("result", {})


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("url")
    parser.add_argument("out")
    parser.add_argument("--wait-for", default="")
    parser.add_argument("--size", default="1100x760")
    parser.add_argument("--timeout", type=float, default=60)
    options = parser.parse_args()
    width, height = (int(v) for v in options.size.split("x"))
    profile = tempfile.mkdtemp()
    browser = subprocess.Popen(["chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                "--allow-loopback-in-peer-connection", "--autoplay-policy=no-user-gesture-required",
                                "--remote-debugging-port=0", "--user-data-dir=" + profile,
                                "--window-size=%d,%d" % (width, height), "about:blank"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        port_file = os.path.join(profile, "DevToolsActivePort")
        deadline = time.time() + options.timeout
        # Chromium writes the port's file in two steps: wait for its first line.
        while time.time() < deadline and not (os.path.exists(port_file) and open(port_file).read().strip()):
            time.sleep(0.1)
        port = open(port_file).read().split()[0]
        pages = json.load(urllib.request.urlopen("http://127.0.0.1:%s/json" % port))
        tools = DevTools(next(p for p in pages if p["type"] == "page")["webSocketDebuggerUrl"])
        tools.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1,
                   mobile=False)
        tools.call("Page.navigate", url=options.url)
        while time.time() < deadline:
            text = tools.call("Runtime.evaluate", expression="document.body ? document.body.innerText : ''")
            if options.wait_for in text.get("result", {}).get("value", ""):
                break
            time.sleep(0.5)
        else:
            print("screenshot: the page never showed %r" % options.wait_for, file=sys.stderr)
            return 1
        time.sleep(1)
        shot = tools.call("Page.captureScreenshot", format="png")
        with open(options.out, "wb") as out:
            out.write(base64.b64decode(shot["data"]))
        return 0
    finally:
        browser.kill()
        browser.wait()


if __name__ == "__main__":
    sys.exit(main())
