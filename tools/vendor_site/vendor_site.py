#!/usr/bin/env python3
"""The vendor's web site on loopback, for the end-to-end tests and the demo.

nginx on 127.0.0.1:80 and :443 serves the product installer (with Range) at the download paths of a
product's UrlInfo.ini, the carousel images, and passes the product-data API and the analytics collection
to a small Python server:

  /downloader/carousel?pid=..&lang=..   the carousel feed: three images with their MD5 digests
  /producturl?key=..                    the licence and install pages
  /mp/collect?...                       the analytics collector; every POST body is recorded

Files in the site folder: access.log (nginx, with the Range header of each request), requests.jsonl
(every API request), analytics.jsonl (every POST to the collector, body included).

  vendor_site.py serve --dir DIR --product PRODUCT_DIR --installer EXE [--pad-mb N] [--rate R]
runs the site in the foreground until SIGTERM or SIGINT and writes DIR/ready once it accepts connections.
"""
import argparse
import hashlib
import http.server
import json
import os
import signal
import socket
import struct
import sys
import threading
import time
import urllib.parse
import urllib.request
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "servers"))
import qvservers  # noqa: E402

HTTP_PORT = 80
HTTPS_PORT = 443
BANNER_COLOURS = [(0x05, 0xD4, 0xBE), (0x1A, 0x57, 0xA9), (0xE8, 0x6A, 0x1C)]
BANNER_SIZE = (650, 290)


def read_ini(path, section):
    """The key=value pairs of one section of a UTF-16 (BOM) or ASCII INI file, keys upper-cased."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return {}
    text = data.decode("utf-16") if data[:2] in (b"\xff\xfe", b"\xfe\xff") else data.decode("latin-1")
    values, current = {}, None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1].strip().lower()
        elif current == section.lower() and "=" in line:
            key, value = line.split("=", 1)
            values[key.strip().upper()] = value.strip()
    return values


def banner_png(number, colour):
    """A banner picture: a coloured field with `number` white bars in its middle, so screenshots show which."""
    width, height = BANNER_SIZE
    bar, gap = 24, 24
    span = number * bar + (number - 1) * gap
    left = (width - span) // 2
    rows = []
    for y in range(height):
        row = bytearray(b"\x00")
        in_band = height // 3 <= y < 2 * height // 3
        for x in range(width):
            inside = in_band and left <= x < left + span and (x - left) % (bar + gap) < bar
            row += bytes((255, 255, 255)) if inside else bytes(colour)
        rows.append(bytes(row))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


class ApiHandler(http.server.BaseHTTPRequestHandler):
    """The product-data API and the analytics collector (behind nginx)."""

    protocol_version = "HTTP/1.1"
    site = None  # set on the class by VendorSite

    def log_message(self, fmt, *args):
        pass

    def _record(self, name, entry):
        with self.site.lock, open(os.path.join(self.site.dir, name), "a") as f:
            f.write(json.dumps(entry) + "\n")

    def _answer(self, status, body, kind):
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def _handle(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        entry = {"time": time.time(), "method": self.command, "path": url.path, "query": url.query,
                 "scheme": self.headers.get("X-Scheme", "")}
        self._record("requests.jsonl", entry)
        if url.path == "/mp/collect":
            entry["body"] = body.decode("utf-8", "replace")
            entry["content_type"] = self.headers.get("Content-Type", "")
            self._record("analytics.jsonl", entry)
            self._answer(204 if self.command == "POST" else 405, b"", "text/plain")
        elif url.path == "/downloader/carousel":
            self._answer(200, self.site.carousel_feed(query), "application/json")
        elif url.path == "/producturl":
            key = query.get("key", [""])[0]
            page = f"<html><body><h1>Quorvane: {key}</h1></body></html>".encode()
            self._answer(200, page, "text/html")
        else:
            self._answer(404, b"not found", "text/plain")

    do_GET = _handle
    do_POST = _handle


class VendorSite:
    def __init__(self, folder, product, installer, pad_mb=12, rate="256k"):
        self.dir = os.path.abspath(folder)
        self.product = product
        self.installer = installer
        self.pad_mb = pad_mb
        self.rate = rate
        self.lock = threading.Lock()
        self.servers = None
        self.api = None
        self.images = []

    # ---- content ----

    def _download_paths(self):
        paths = set()
        language = os.path.join(self.product, "language")
        for name in sorted(os.listdir(language)):
            urls = read_ini(os.path.join(language, name, "UrlInfo.ini"), "URL")
            for key in ("STR_DOWN_URL", "STR_DOWN_URL_X64"):
                if urls.get(key):
                    paths.add(urllib.parse.urlsplit(urls[key]).path)
        return sorted(paths)

    def _prepare(self, www):
        # The installer is padded to a size that makes the download last a moment; a PE file ignores
        # bytes after its last section, so it still runs.
        with open(self.installer, "rb") as f:
            data = f.read()
        pad = max(0, self.pad_mb * 1048576 - len(data))
        data += bytes(i % 251 for i in range(pad))
        self.installer_size = len(data)
        self.installer_md5 = hashlib.md5(data).hexdigest()
        for path in self._download_paths():
            target = os.path.join(www, path.lstrip("/"))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as f:
                f.write(data)
        os.makedirs(os.path.join(www, "carousel"), exist_ok=True)
        self.images = []
        for number, colour in enumerate(BANNER_COLOURS, start=1):
            png = banner_png(number, colour)
            name = f"banner{number}.png"
            with open(os.path.join(www, "carousel", name), "wb") as f:
                f.write(png)
            # Upper case on purpose: the installer compares digests without regard to case.
            self.images.append({"url": f"http://127.0.0.1/carousel/{name}", "md5": hashlib.md5(png).hexdigest().upper()})

    def carousel_feed(self, query):
        feed = {"code": 1, "message": "success", "data": {"list": self.images}}
        return json.dumps(feed).encode()

    # ---- servers ----

    def start(self, wait_free_s=180):
        os.makedirs(self.dir, exist_ok=True)
        wait_ports_free((HTTP_PORT, HTTPS_PORT), wait_free_s)
        for name in ("ready", "analytics.jsonl", "requests.jsonl", "outage"):
            if os.path.exists(os.path.join(self.dir, name)):
                os.unlink(os.path.join(self.dir, name))
        www = os.path.join(self.dir, "www")
        self._prepare(www)
        handler = type("SiteApiHandler", (ApiHandler,), {"site": self})
        self.api = http.server.ThreadingHTTPServer((qvservers.HOST, 0), handler)
        self.api.daemon_threads = True
        threading.Thread(target=self.api.serve_forever, daemon=True).start()
        api_port = self.api.server_address[1]
        self.servers = qvservers.Servers(os.path.join(self.dir, "servers"))
        cert, key = qvservers.make_cert(self.servers.folder("certs"), "127.0.0.1", ["127.0.0.1", "localhost"])
        locations = f"""
            root {www};
            access_log {self.dir}/access.log site;
            location /download/ {{
                limit_rate {self.rate};
                if (-f {self.dir}/outage) {{ return 404; }}
            }}
            location /carousel/ {{ }}
            location / {{
                proxy_pass http://127.0.0.1:{api_port};
                proxy_set_header X-Scheme $scheme;
                proxy_http_version 1.1;
            }}"""
        log_format = ('log_format site \'$remote_addr $scheme "$request" $status $body_bytes_sent '
                      'range="$http_range" conn=$connection\';')
        # Another run's site may take the ports between our check and nginx's bind; nginx then keeps
        # retrying while the other one answers. Our own token on /site-id tells the two apart.
        token = f"{os.getpid()}-{time.monotonic_ns()}"
        locations += f"""
            location = /site-id {{ return 200 "{token}"; }}"""
        conf = f"""
                server {{ listen 127.0.0.1:@PORT_HTTP@; {locations} }}
                server {{ listen 127.0.0.1:@PORT_HTTPS@ ssl; ssl_certificate {cert}; ssl_certificate_key {key};
                          {locations} }}"""
        deadline = time.monotonic() + wait_free_s
        try:
            while True:
                self.servers.nginx(conf, ports={"PORT_HTTP": HTTP_PORT, "PORT_HTTPS": HTTPS_PORT},
                                   http_extra=log_format)
                if site_id() == token:
                    break
                self.servers.stop()
                if time.monotonic() > deadline:
                    raise RuntimeError("another vendor site holds 127.0.0.1:80")
                wait_ports_free((HTTP_PORT, HTTPS_PORT), max(1, deadline - time.monotonic()))
        except Exception:
            self.stop()
            raise
        with open(os.path.join(self.dir, "ready"), "w") as f:
            f.write(json.dumps({"installer_size": self.installer_size, "installer_md5": self.installer_md5,
                                "images": self.images}))
        return self

    def outage(self, down):
        """While down, the installer is gone from the download server: every new request gets 404."""
        flag = os.path.join(self.dir, "outage")
        if down:
            open(flag, "w").close()
        elif os.path.exists(flag):
            os.unlink(flag)

    def stop(self):
        if self.servers:
            self.servers.stop()
            self.servers = None
        if self.api:
            self.api.shutdown()
            self.api.server_close()
            self.api = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # ---- what the site saw ----

    def analytics(self):
        return read_jsonl(os.path.join(self.dir, "analytics.jsonl"))

    def requests(self):
        return read_jsonl(os.path.join(self.dir, "requests.jsonl"))

    def download_ranges(self):
        """The Range header of every download request nginx logged, in order ("-" when none was sent)."""
        ranges = []
        try:
            with open(os.path.join(self.dir, "access.log")) as f:
                for line in f:
                    if "/download/" in line and 'range="' in line:
                        ranges.append(line.split('range="', 1)[1].split('"', 1)[0])
        except OSError:
            pass
        return ranges


def port_free(port):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind((qvservers.HOST, port))
            return True
        except OSError:
            return False


def site_id():
    try:
        with urllib.request.urlopen(f"http://{qvservers.HOST}:{HTTP_PORT}/site-id", timeout=5) as answer:
            return answer.read().decode()
    except OSError:
        return ""


def wait_ports_free(ports, seconds):
    """Another run's site may hold the ports: a client would then talk to it and not to us, so wait."""
    deadline = time.monotonic() + seconds
    while not all(port_free(p) for p in ports):
        if time.monotonic() > deadline:
            raise RuntimeError(f"127.0.0.1 ports {ports} are still taken after {seconds} s (another vendor site?)")
        time.sleep(0.5)


def read_jsonl(path):
    try:
        with open(path) as f:
            return [json.loads(line) for line in f if line.strip()]
    except OSError:
        return []


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="cmd", required=True)
    serve = sub.add_parser("serve", help="run the site until SIGTERM or SIGINT")
    serve.add_argument("--dir", required=True)
    serve.add_argument("--product", required=True, help="product folder under res/products")
    serve.add_argument("--installer", required=True, help="the product installer to serve")
    serve.add_argument("--pad-mb", type=int, default=12)
    serve.add_argument("--rate", default="256k", help="nginx limit_rate per download connection")
    args = parser.parse_args()

    stop = threading.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: stop.set())
    with VendorSite(args.dir, args.product, args.installer, args.pad_mb, args.rate):
        print(f"vendor site ready in {args.dir}", flush=True)
        stop.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
