"""Scripted HTTP peers for the client tests: one router of answers by path, served plain or over TLS.

Shared by tests/tool, tests/redirect and tests/ga. Answers by path (query ignored unless named):
  /              200 "root"
  /size/N        200 with N bytes of a fixed pattern     /nolength  200 without Content-Length, then close
  /missing       404 with an HTML body                   /status/C  status C with a short body
  /short         announces 1000 bytes, sends 100, closes /hang      reads the request, never answers
  /close         closes without an answer              /garbage   an invalid head, then close
  /echo          the request head and body as the body   /zero      200 with Content-Length 0
  /redirect/C?to=URL  status C with that Location (none without "to")
  /conn          "conn=K req=M": which connection, which request on it
  /rel, /abs     302 to /conn, relative or absolute      /loop      302 to itself
  /bighead       a response head longer than 4096 bytes
  /mp/collect    stores a POST's head and body under STORE/post-N.*, answers the router's collect status
Every request is appended to STORE/requests.log as "port method target".
"""
import itertools
import os
import shutil
import ssl
import subprocess
import sys
import threading
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "servers"))
import qvservers  # noqa: E402


def pattern(n):
    """The body of /size/N: position-dependent bytes, so a shifted or truncated copy shows."""
    return bytes((i * 7 + i // 251) % 256 for i in range(n))


def fresh_folder(servers, name):
    """A server folder emptied of what an earlier run left."""
    path = servers.folder(name)
    shutil.rmtree(path)
    return servers.folder(name)


def windows_path(path):
    """A Unix path as the Windows program under wine sees it."""
    return "Z:" + path.replace("/", "\\")


class Router:
    def __init__(self, store, collect_status=204):
        self.store = store
        self.collect_status = collect_status
        self.conn_ids = itertools.count(1)
        self.posts = itertools.count(1)
        self.lock = threading.Lock()
        os.makedirs(store, exist_ok=True)

    def handler(self, conn, server):
        conn_id = next(self.conn_ids)
        for n in itertools.count(1):
            head, rest = server.read_request(conn)
            if not head:
                return
            method, target, fields = qvservers.parse_head(head)
            length = int(fields.get("content-length", "0") or 0)
            while len(rest) < length:
                chunk = conn.recv(65536)
                if not chunk:
                    return
                rest += chunk
            with self.lock, open(os.path.join(self.store, "requests.log"), "a") as log:
                log.write(f"{server.port} {method} {target}\n")
            if not self.answer(conn, server, method, target, head, rest[:length], conn_id, n):
                return

    @staticmethod
    def send(conn, status, body=b"", headers=(), method="GET", length=True):
        lines = [f"HTTP/1.1 {status} Stub"] + list(headers)
        if length:
            lines.append(f"Content-Length: {len(body)}")
        conn.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + (b"" if method == "HEAD" else body))
        return True

    def answer(self, conn, server, method, target, head, body, conn_id, n):
        url = urllib.parse.urlsplit(target)
        path, query = url.path, urllib.parse.parse_qs(url.query)
        parts = path.strip("/").split("/")
        if path == "/":
            return self.send(conn, 200, b"root", method=method)
        if parts[0] == "size":
            return self.send(conn, 200, pattern(int(parts[1])), method=method)
        if path == "/nolength":
            self.send(conn, 200, b"no length here", ["Connection: close"], method, length=False)
            return False
        if path == "/missing":
            return self.send(conn, 404, b"<html>missing page</html>", ["Content-Type: text/html"], method)
        if parts[0] == "status":
            return self.send(conn, int(parts[1]), f"status {parts[1]} body".encode(), method=method)
        if path == "/short":
            conn.sendall(b"HTTP/1.1 200 Stub\r\nContent-Length: 1000\r\n\r\n" + pattern(100))
            return False
        if path == "/hang":
            while conn.recv(4096):
                pass
            return False
        if path == "/close":
            return False
        if path == "/garbage":
            conn.sendall(b"this is no status line\r\n\r\n")
            return False
        if path == "/echo":
            return self.send(conn, 200, head + body, method=method)
        if path == "/zero":
            return self.send(conn, 200, b"", method=method)
        if parts[0] == "redirect":
            location = [f"Location: {query['to'][0]}"] if "to" in query else []
            return self.send(conn, int(parts[1]), b"", location, method)
        if path == "/conn":
            return self.send(conn, 200, f"conn={conn_id} req={n}".encode(), method=method)
        if path == "/rel":
            return self.send(conn, 302, b"moved", ["Location: /conn"], method)
        if path == "/abs":
            return self.send(conn, 302, b"", [f"Location: http://127.0.0.1:{server.port}/conn"], method)
        if path == "/loop":
            return self.send(conn, 302, b"", ["Location: /loop"], method)
        if path == "/bighead":
            return self.send(conn, 200, b"ok", ["X-Pad: " + "p" * 5000], method)
        if path == "/mp/collect":
            with self.lock:
                k = next(self.posts)
            for suffix, data in (("head", head), ("json", body)):
                with open(os.path.join(self.store, f"post-{k}.{suffix}.tmp"), "wb") as f:
                    f.write(data)
                os.replace(os.path.join(self.store, f"post-{k}.{suffix}.tmp"),
                           os.path.join(self.store, f"post-{k}.{suffix}"))
            return self.send(conn, self.collect_status, b"" if self.collect_status == 204 else b"collector says no",
                             method=method, length=self.collect_status != 204)
        return self.send(conn, 404, b"no such stub path", method=method)


def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


def make_certs(folder):
    """A test CA (DER for the Windows root store) and three server certificates for 127.0.0.1: signed by the
    CA, signed by the CA but expired, and self-signed. Wine matches the host only against DNS names of the
    subjectAltName, so the address is given as a DNS name too."""
    os.makedirs(folder, exist_ok=True)
    ca_cert, ca_key = qvservers.make_ca(folder, "clients-ca")
    _openssl("x509", "-in", ca_cert, "-outform", "der", "-out", "clients-ca.der", cwd=folder)
    ext = os.path.join(folder, "server.ext")
    with open(ext, "w") as f:
        f.write("subjectAltName=DNS:127.0.0.1,IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
    certs = {}
    for name in ("trusted", "expired", "selfsigned"):
        key, cert = os.path.join(folder, name + ".key"), os.path.join(folder, name + ".pem")
        csr = os.path.join(folder, name + ".csr")
        _openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout", key,
                 "-out", csr, cwd=folder)
        if name == "trusted":
            _openssl("x509", "-req", "-in", csr, "-CA", ca_cert, "-CAkey", ca_key, "-CAcreateserial", "-days", "30",
                     "-extfile", ext, "-out", cert, cwd=folder)
        elif name == "selfsigned":
            _openssl("x509", "-req", "-in", csr, "-signkey", key, "-days", "30", "-extfile", ext, "-out", cert,
                     cwd=folder)
        else:
            # x509 cannot back-date; the ca command takes explicit dates.
            db = os.path.join(folder, "ca-db")
            os.makedirs(db, exist_ok=True)
            open(os.path.join(db, "index.txt"), "w").close()
            conf = os.path.join(folder, "ca.conf")
            with open(conf, "w") as f:
                f.write(f"[ca]\ndefault_ca=d\n[d]\ndatabase={db}/index.txt\nnew_certs_dir={db}\nserial={db}/serial\n"
                        f"default_md=sha256\npolicy=p\nunique_subject=no\ncopy_extensions=none\n[p]\ncommonName=supplied\n")
            with open(os.path.join(db, "serial"), "w") as f:
                f.write("1000\n")
            _openssl("ca", "-batch", "-config", conf, "-cert", ca_cert, "-keyfile", ca_key, "-in", csr,
                     "-startdate", "20200101000000Z", "-enddate", "20200201000000Z", "-extfile", ext, "-out", cert,
                     "-notext", cwd=folder)
        certs[name] = (cert, key)
    return os.path.join(folder, "clients-ca.der"), certs


class TlsFront:
    """TLS in front of a router. STORE/tls_mode (written by the test program) picks, per connection, the
    certificate (trusted, expired, selfsigned) or "fail": the connection is closed before any handshake."""

    def __init__(self, router, certs):
        self.router = router
        self.contexts = {}
        for name, (cert, key) in certs.items():
            ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            ctx.load_cert_chain(cert, key)
            self.contexts[name] = ctx

    def mode(self):
        try:
            with open(os.path.join(self.router.store, "tls_mode")) as f:
                return f.read().strip() or "trusted"
        except FileNotFoundError:
            return "trusted"

    def handler(self, conn, server):
        mode = self.mode()
        if mode not in self.contexts:
            return
        tls = self.contexts[mode].wrap_socket(conn, server_side=True)
        self.router.handler(tls, server)

