#!/usr/bin/env python3
"""Loopback servers for tests: nginx, dante (SOCKS), tinyproxy (HTTP proxy) and scripted raw-socket servers.

Every server binds 127.0.0.1 only, runs from its own folder with its own configuration, and is stopped by
the pid this module started. See README.md beside this file.
"""
import argparse
import os
import re
import signal
import socket
import subprocess
import sys
import threading
import time

HOST = "127.0.0.1"
START_TIMEOUT = 15.0


def free_port():
    """A port that was free a moment ago (bind port 0, read it back, release it)."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind((HOST, 0))
        return s.getsockname()[1]


def wait_accepting(port, proc=None, timeout=START_TIMEOUT, what="server"):
    """Wait until 127.0.0.1:port accepts a connection; fail early when proc has exited."""
    deadline = time.monotonic() + timeout
    while True:
        if proc is not None and proc.poll() is not None:
            raise RuntimeError(f"{what} exited with {proc.returncode} before accepting on port {port}")
        try:
            with socket.create_connection((HOST, port), timeout=1.0):
                return
        except OSError:
            if time.monotonic() > deadline:
                raise RuntimeError(f"{what} does not accept on port {port} after {timeout} s")
            time.sleep(0.05)


def tail(path, lines=30):
    try:
        with open(path, errors="replace") as f:
            return "".join(f.readlines()[-lines:])
    except OSError:
        return ""


class Process:
    """A child process started by us and stopped by its pid (never by name)."""

    def __init__(self, name, argv, workdir, logs=()):
        self.name = name
        self.argv = argv
        self.workdir = workdir
        self.logs = list(logs)
        self.proc = None

    def start(self):
        out = open(os.path.join(self.workdir, self.name + ".out"), "wb")
        self.logs.append(out.name)
        # A session of its own, so the terminal's Ctrl-C reaches the wrapper only and we stop the child.
        self.proc = subprocess.Popen(self.argv, cwd=self.workdir, stdout=out, stderr=subprocess.STDOUT,
                                     stdin=subprocess.DEVNULL, start_new_session=True)
        out.close()
        return self

    def stop(self):
        if self.proc is None or self.proc.poll() is not None:
            return
        self.proc.terminate()
        try:
            self.proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(timeout=5)

    def report(self):
        return "".join(f"--- {p}\n{tail(p)}" for p in self.logs)


def _fill_ports(text, ports):
    """Replace every @PORT_NAME@ in text by a port: the given one, else a free one. Returns text, ports."""
    ports = dict(ports or {})
    for name in re.findall(r"@(PORT_[A-Z0-9_]+)@", text):
        ports.setdefault(name, free_port())
    for name, port in ports.items():
        text = text.replace(f"@{name}@", str(port))
    return text, ports


class Nginx(Process):
    """nginx with its own prefix. server_conf holds server blocks (the http{} body); @PORT_X@ placeholders
    become ports (given in ports, else free ones) and @DIR@ the prefix folder."""

    def __init__(self, workdir, server_conf, ports=None, http_extra=""):
        os.makedirs(os.path.join(workdir, "logs"), exist_ok=True)
        os.makedirs(os.path.join(workdir, "tmp"), exist_ok=True)
        text = server_conf.replace("@DIR@", workdir)
        text, self.ports = _fill_ports(text, ports)
        user = "user root;\n" if os.geteuid() == 0 else ""
        conf = f"""{user}worker_processes 1;
pid {workdir}/nginx.pid;
error_log {workdir}/logs/error.log info;
events {{ worker_connections 256; }}
http {{
    access_log {workdir}/logs/access.log;
    client_body_temp_path {workdir}/tmp/body;
    proxy_temp_path {workdir}/tmp/proxy;
    fastcgi_temp_path {workdir}/tmp/fastcgi;
    uwsgi_temp_path {workdir}/tmp/uwsgi;
    scgi_temp_path {workdir}/tmp/scgi;
    default_type application/octet-stream;
    {http_extra}
{text}
}}
"""
        self.conf = os.path.join(workdir, "nginx.conf")
        with open(self.conf, "w") as f:
            f.write(conf)
        super().__init__("nginx", ["nginx", "-p", workdir, "-c", self.conf, "-e", f"{workdir}/logs/error.log",
                                   "-g", "daemon off;"], workdir, [f"{workdir}/logs/error.log"])

    def start(self):
        super().start()
        for port in self.ports.values():
            wait_accepting(port, self.proc, what="nginx")
        return self


class Dante(Process):
    """danted as SOCKS4/SOCKS5 proxy on 127.0.0.1. With users=True it requires the SOCKS5 user name and
    password method against the system's user accounts (see ensure_system_user)."""

    def __init__(self, workdir, port=None, users=False):
        os.makedirs(workdir, exist_ok=True)
        self.port = port or free_port()
        method = "username" if users else "none"
        unprivileged = "nobody" if os.geteuid() == 0 else os.environ.get("USER", "nobody")
        conf = f"""logoutput: {workdir}/danted.log
internal: {HOST} port = {self.port}
external: {HOST}
clientmethod: none
socksmethod: {method}
user.privileged: root
user.unprivileged: {unprivileged}
client pass {{ from: 127.0.0.0/8 to: 0.0.0.0/0 }}
socks pass {{ from: 127.0.0.0/8 to: 0.0.0.0/0 log: connect error }}
"""
        self.conf = os.path.join(workdir, "danted.conf")
        with open(self.conf, "w") as f:
            f.write(conf)
        super().__init__("danted", ["danted", "-f", self.conf, "-p", f"{workdir}/danted.pid", "-N", "1"],
                         workdir, [f"{workdir}/danted.log"])

    def start(self):
        super().start()
        wait_accepting(self.port, self.proc, what="danted")
        return self


def ensure_system_user(name, password):
    """A system account for dante's password method (it checks the system's password database).
    Needs root; idempotent."""
    def exists():
        return subprocess.run(["id", "-u", name], capture_output=True).returncode == 0
    if not exists():
        made = subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", name],
                              capture_output=True, text=True)
        # Another test run may have made it at the same moment.
        if made.returncode != 0 and not exists():
            raise RuntimeError(f"useradd {name} failed: {made.stderr.strip()}")
    subprocess.run(["chpasswd"], input=f"{name}:{password}\n", text=True, check=True, capture_output=True)


class Tinyproxy(Process):
    """tinyproxy as HTTP proxy (plain requests and CONNECT to any port). auth=(user, password) requires
    Basic proxy authorisation."""

    def __init__(self, workdir, port=None, auth=None):
        os.makedirs(workdir, exist_ok=True)
        self.port = port or free_port()
        lines = [f"Port {self.port}", f"Listen {HOST}", "Timeout 30", f"LogFile \"{workdir}/tinyproxy.log\"",
                 "LogLevel Info", "MaxClients 64", f"Allow {HOST}", "DisableViaHeader Yes"]
        if os.geteuid() == 0:
            lines += ["User root", "Group root"]
        if auth:
            lines.append(f"BasicAuth {auth[0]} {auth[1]}")
        self.conf = os.path.join(workdir, "tinyproxy.conf")
        with open(self.conf, "w") as f:
            f.write("\n".join(lines) + "\n")
        super().__init__("tinyproxy", ["tinyproxy", "-d", "-c", self.conf], workdir,
                         [f"{workdir}/tinyproxy.log"])

    def start(self):
        super().start()
        wait_accepting(self.port, self.proc, what="tinyproxy")
        return self


# ---- certificates -----------------------------------------------------------------------------------

def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


def make_ca(folder, name="qv-test-ca"):
    """A self-signed CA: returns (cert path, key path). Made once per folder."""
    os.makedirs(folder, exist_ok=True)
    cert, key = os.path.join(folder, name + ".pem"), os.path.join(folder, name + ".key")
    if not os.path.exists(cert):
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-subj", f"/CN={name}",
                 "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                 "-keyout", key, "-out", cert, cwd=folder)
    return cert, key


def make_cert(folder, name, hosts, ca=None):
    """A server certificate for hosts (DNS names or IP addresses), signed by ca=(cert, key) or
    self-signed. Returns (cert path, key path)."""
    os.makedirs(folder, exist_ok=True)
    cert, key = os.path.join(folder, name + ".pem"), os.path.join(folder, name + ".key")
    if os.path.exists(cert):
        return cert, key
    san = ",".join(("IP:" if re.fullmatch(r"[0-9.]+|.*:.*", h) else "DNS:") + h for h in hosts)
    ext = os.path.join(folder, name + ".ext")
    with open(ext, "w") as f:
        f.write(f"subjectAltName={san}\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
    if ca is None:
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-subj", f"/CN={hosts[0]}",
                 "-addext", f"subjectAltName={san}", "-keyout", key, "-out", cert, cwd=folder)
    else:
        csr = os.path.join(folder, name + ".csr")
        _openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", f"/CN={hosts[0]}", "-keyout", key,
                 "-out", csr, cwd=folder)
        _openssl("x509", "-req", "-in", csr, "-CA", ca[0], "-CAkey", ca[1], "-CAcreateserial", "-days", "30",
                 "-extfile", ext, "-out", cert, cwd=folder)
    return cert, key


# ---- scripted servers -------------------------------------------------------------------------------

def read_head(conn, limit=65536):
    """Read one request head from conn. Returns (head bytes, rest already received), head b'' on close."""
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(4096)
        if not chunk:
            return b"", data
        data += chunk
        if len(data) > limit:
            raise ValueError("request head too long")
    head, _, rest = data.partition(b"\r\n\r\n")
    return head + b"\r\n\r\n", rest


def parse_head(head):
    """(method, target, {lower-case name: value}) of a request head."""
    lines = head.decode("latin-1").split("\r\n")
    method, target, _ = (lines[0].split(" ", 2) + ["", ""])[:3]
    fields = {}
    for line in lines[1:]:
        if ":" in line:
            name, _, value = line.partition(":")
            fields[name.strip().lower()] = value.strip()
    return method, target, fields


class ScriptedServer:
    """A raw TCP server on 127.0.0.1 for answers no real server gives. handler(conn, server) runs in a
    thread per connection and may send anything; the connection is closed when it returns. Each accepted
    request head is appended to server.requests by read_request()."""

    def __init__(self, handler, port=None, timeout=20.0):
        self.handler = handler
        self.timeout = timeout
        self.requests = []
        self.lock = threading.Lock()
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((HOST, port or 0))
        self.port = self.sock.getsockname()[1]
        self.thread = None
        self.stopping = False

    def read_request(self, conn):
        head, rest = read_head(conn)
        if head:
            with self.lock:
                self.requests.append(head)
        return head, rest

    def start(self):
        self.sock.listen(64)
        self.thread = threading.Thread(target=self._accept_loop, daemon=True)
        self.thread.start()
        return self

    def _accept_loop(self):
        while not self.stopping:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        conn.settimeout(self.timeout)
        try:
            self.handler(conn, self)
        except (OSError, ValueError):
            pass
        finally:
            try:
                conn.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            conn.close()

    def stop(self):
        self.stopping = True
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.sock.close()
        if self.thread:
            self.thread.join(timeout=5)

    def report(self):
        return ""


class Servers:
    """Owns the servers of one test run; stops them in reverse order. Use as a context manager."""

    def __init__(self, workdir):
        self.workdir = os.path.abspath(workdir)
        os.makedirs(self.workdir, exist_ok=True)
        self.env = {}
        self.started = []

    def _run(self, server):
        try:
            server.start()
        except Exception:
            sys.stderr.write(server.report())
            server.stop()
            raise
        self.started.append(server)
        return server

    def folder(self, name):
        path = os.path.join(self.workdir, name)
        os.makedirs(path, exist_ok=True)
        return path

    def nginx(self, server_conf, name="nginx", ports=None, http_extra=""):
        return self._run(Nginx(self.folder(name), server_conf, ports, http_extra))

    def dante(self, name="dante", port=None, users=False):
        return self._run(Dante(self.folder(name), port, users))

    def tinyproxy(self, name="tinyproxy", port=None, auth=None):
        return self._run(Tinyproxy(self.folder(name), port, auth))

    def scripted(self, handler, port=None):
        return self._run(ScriptedServer(handler, port))

    def export(self, name, value):
        self.env[name] = str(value)

    def report(self):
        return "".join(s.report() for s in self.started)

    def stop(self):
        while self.started:
            self.started.pop().stop()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


# ---- command line: nginx for shell scripts ----------------------------------------------------------

def _cli():
    parser = argparse.ArgumentParser(description="Start or stop a loopback nginx with its own prefix.")
    sub = parser.add_subparsers(dest="cmd", required=True)
    start = sub.add_parser("nginx-start", help="start nginx in the background; print NAME=PORT lines")
    start.add_argument("--dir", required=True, help="prefix folder (config, logs, pid)")
    start.add_argument("--conf", required=True, help="file with server blocks; @PORT_X@ and @DIR@ filled in")
    start.add_argument("--port", action="append", default=[], metavar="PORT_X=N", help="fixed port")
    stop = sub.add_parser("nginx-stop", help="stop the nginx started in --dir")
    stop.add_argument("--dir", required=True)
    args = parser.parse_args()
    workdir = os.path.abspath(args.dir)
    pidfile = os.path.join(workdir, "nginx.pid")
    if args.cmd == "nginx-start":
        with open(args.conf) as f:
            text = f.read()
        ports = {k: int(v) for k, v in (p.split("=", 1) for p in args.port)}
        server = Nginx(workdir, text, ports)
        try:
            server.start()
        except Exception as e:
            sys.stderr.write(f"{e}\n{server.report()}")
            server.stop()
            return 1
        # nginx writes the pid file itself; keep our own child's pid beside it for nginx-stop.
        with open(os.path.join(workdir, "master.pid"), "w") as f:
            f.write(str(server.proc.pid))
        for name, port in server.ports.items():
            print(f"{name}={port}")
        return 0
    for path in (os.path.join(workdir, "master.pid"), pidfile):
        try:
            with open(path) as f:
                pid = int(f.read().strip())
        except (OSError, ValueError):
            continue
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            try:
                os.kill(pid, 0)
            except ProcessLookupError:
                break
            time.sleep(0.05)
        os.unlink(path)
        return 0
    sys.stderr.write(f"no nginx pid file in {workdir}\n")
    return 1


if __name__ == "__main__":
    sys.exit(_cli())
