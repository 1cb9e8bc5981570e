"""Servers of the download engine tests: nginx (ranges, a 200-only location, 404 on range requests,
throttled), a scripted server with broken range answers, and a switchable forwarder that plays an
unplugged network."""
import os
import re
import socket
import threading

import qvservers

FILES = {"small.bin": 1000, "three.bin": 3 * 1048576 + 17, "eight.bin": 8 * 1048576 + 5}


def make_files(www):
    rnd = __import__("random").Random(8)
    for name, size in FILES.items():
        path = os.path.join(www, name)
        if not os.path.exists(path) or os.path.getsize(path) != size:
            with open(path, "wb") as f:
                f.write(rnd.randbytes(size))


def range_handler(www):
    """Serves www with ranges; a request path "/FAULT/N/name" answers its N-th request (counted per
    path) with the fault: ignore (200 and the whole file), shifted (206 from the wrong offset),
    stall (206, half the body, then silence), nolength (200 without Content-Length, then close),
    silent (no answer at all)."""
    counts = {}
    lock = threading.Lock()

    def handler(conn, server):
        while True:
            head, _ = server.read_request(conn)
            if not head:
                return
            _, target, fields = qvservers.parse_head(head)
            parts = target.strip("/").split("/")
            fault, nth, name = parts if len(parts) == 3 else ("", "0", parts[-1])
            with lock:
                counts[target] = counts.get(target, 0) + 1
                count = counts[target]
            with open(os.path.join(www, name), "rb") as f:
                data = f.read()
            hit = fault and count == int(nth)
            if hit and fault == "silent":
                conn.recv(1)  # never answers
                return
            if fault == "nolength":
                conn.sendall(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + data)
                return
            m = re.match(r"bytes=(\d+)-(\d*)", fields.get("range", ""))
            if hit and fault == "ignore" or not m:
                conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: keep-alive\r\n\r\n"
                             % len(data) + data)
                continue
            begin = int(m.group(1))
            end = int(m.group(2)) if m.group(2) else len(data) - 1
            if hit and fault == "shifted":
                begin, end = begin + 1000, end + 1000
            end = min(end, len(data) - 1)
            body = data[begin:end + 1]
            head_out = (b"HTTP/1.1 206 Partial Content\r\nContent-Length: %d\r\n"
                        b"Content-Range: bytes %d-%d/%d\r\nConnection: keep-alive\r\n\r\n"
                        % (len(body), begin, end, len(data)))
            if hit and fault == "stall":
                conn.sendall(head_out + body[:len(body) // 2])
                conn.recv(1)  # silent until the client gives up on us
                return
            conn.sendall(head_out + body)

    return handler


class Forwarder:
    """Passes connections to upstream while on; while off it drops every connection and refuses new
    ones (accepts and closes at once). Switched by GET /on and GET /off on its control server."""

    def __init__(self, upstream):
        self.upstream = upstream
        self.on = True
        self.lock = threading.Lock()
        self.live = set()

    def _drop(self, sock):
        try:
            sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def handler(self, conn, server):
        with self.lock:
            if not self.on:
                return
            up = socket.create_connection(("127.0.0.1", self.upstream))
            self.live.update((conn, up))

        def pump(src, dst):
            try:
                while True:
                    chunk = src.recv(65536)
                    if not chunk:
                        break
                    dst.sendall(chunk)
            except OSError:
                pass
            self._drop(dst)

        t = threading.Thread(target=pump, args=(up, conn), daemon=True)
        t.start()
        pump(conn, up)
        t.join()
        with self.lock:
            self.live.discard(conn)
            self.live.discard(up)
        up.close()

    def control(self, conn, server):
        head, _ = server.read_request(conn)
        _, target, _ = qvservers.parse_head(head)
        with self.lock:
            self.on = target == "/on"
            if not self.on:
                for sock in self.live:
                    self._drop(sock)
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")


def setup(servers):
    www = servers.folder("www")
    make_files(www)
    cert, key = qvservers.make_cert(servers.folder("certs"), "localhost", ["localhost", "127.0.0.1"])
    logs = servers.folder("logs")
    nginx = servers.nginx(f"""
        server {{
            listen 127.0.0.1:@PORT_HTTP@;
            listen 127.0.0.1:@PORT_HTTPS@ ssl;
            ssl_certificate {cert}; ssl_certificate_key {key};
            access_log {logs}/access.log ranges;
            root {www};
            location /whole/ {{ alias {www}/; max_ranges 0; }}
            location /slow/ {{ alias {www}/; limit_rate 256k; }}
            location /medium/ {{ alias {www}/; limit_rate 1m; }}
            location /norange/ {{
                alias {www}/;
                if ($http_range ~ "^bytes=[1-9]") {{ return 404; }}
            }}
        }}""", http_extra='log_format ranges "$request_uri $status $http_range $body_bytes_sent";')
    forwarder = Forwarder(nginx.ports["PORT_HTTP"])
    servers.export("QV_HTTP_PORT", nginx.ports["PORT_HTTP"])
    servers.export("QV_HTTPS_PORT", nginx.ports["PORT_HTTPS"])
    servers.export("QV_SCRIPT_PORT", servers.scripted(range_handler(www)).port)
    servers.export("QV_FORWARD_PORT", servers.scripted(forwarder.handler).port)
    servers.export("QV_CONTROL_PORT", servers.scripted(forwarder.control).port)
    servers.export("QV_WWW", www)
    servers.export("QV_ACCESS_LOG", os.path.join(logs, "access.log"))
