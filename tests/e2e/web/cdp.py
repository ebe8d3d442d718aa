"""Headless Chromium on 127.0.0.1 through the DevTools protocol, and the PNG reading the tests need."""
import base64
import functools
import http.server
import json
import os
import struct
import subprocess
import tempfile
import threading
import time
import urllib.request
import zlib

import websocket

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"]


def serve(folder):
    """Serves folder on 127.0.0.1 at a free port, in a thread; returns the server."""
    handler = functools.partial(Quiet, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class Quiet(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, ".wasm": "application/wasm"}

    def log_message(self, *args):
        pass


class Browser:
    def __init__(self, chromium="/usr/bin/chromium"):
        self.profile = tempfile.TemporaryDirectory(ignore_cleanup_errors=True)
        self.process = subprocess.Popen(
            [chromium, *FLAGS, "--remote-debugging-port=0", "--user-data-dir=" + self.profile.name, "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file = os.path.join(self.profile.name, "DevToolsActivePort")
        for _ in range(300):
            if os.path.exists(port_file) and open(port_file).read().count("\n") >= 1:
                break
            time.sleep(0.05)
        port = open(port_file).read().split("\n")[0]
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list"))
        page = next(t for t in targets if t["type"] == "page")
        self.socket = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=60, suppress_origin=True)
        self.next_id = 0
        self.events = []
        for domain in ("Page", "Runtime", "Log"):
            self.call(domain + ".enable")

    def close(self):
        self.socket.close()
        self.process.terminate()
        self.process.wait(10)
        self.profile.cleanup()

    def call(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message["result"]
            self.events.append(message)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, awaitPromise=True, returnByValue=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_for(self, expression, seconds=20):
        deadline = time.time() + seconds
        while time.time() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.02)
        raise TimeoutError(expression)

    def open(self, url, width, height, scale=1):
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=scale,
                  mobile=False)
        self.call("Page.navigate", url=url)
        self.wait_for("document.readyState === 'complete' && document.documentElement.dataset.state === 'drawn'")

    def key(self, key, code):
        for kind in ("keyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", type=kind, key=key, code=code, text=key if kind == "keyDown" else "")

    def screenshot(self, width, height):
        """The top-left width x height CSS pixels, in device pixels, as (width, height, RGB bytes)."""
        shot = self.call("Page.captureScreenshot", format="png",
                         clip={"x": 0, "y": 0, "width": width, "height": height, "scale": 1})
        return read_png(base64.b64decode(shot["data"]))

    def messages(self, needle):
        texts = [e["params"]["entry"]["text"] for e in self.events if e.get("method") == "Log.entryAdded"]
        texts += [" ".join(str(a.get("value", "")) for a in e["params"]["args"])
                  for e in self.events if e.get("method") == "Runtime.consoleAPICalled"]
        return [t for t in texts if needle in t]


def read_png(data):
    """8-bit RGB or RGBA PNGs, not interlaced; returns (width, height, RGB bytes)."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    position, idat = 8, b""
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour in (2, 6) and interlace == 0, "unsupported PNG"
        elif kind == b"IDAT":
            idat += body
        position += 12 + length
    channels = 3 if colour == 2 else 4
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - channels] if x >= channels else 0
            up, corner = previous[x], previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                estimate = left + up - corner
                pa, pb, pc = abs(estimate - left), abs(estimate - up), abs(estimate - corner)
                line[x] = (line[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        rows.append(bytes(line))
        previous = line
    pixels = b"".join(rows)
    if channels == 4:
        pixels = b"".join(pixels[i:i + 3] for i in range(0, len(pixels), 4))
    return width, height, pixels
