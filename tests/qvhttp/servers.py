"""Peers of the HTTP stream tests: nginx (HTTP, HTTPS twice), a scripted server for malformed answers,
dante (SOCKS4/5, with and without a password) and tinyproxy (plain and with Basic authorisation)."""
import os
import shutil
import subprocess
import qvservers

SOCKS_USER, SOCKS_PASSWORD = "qvsocks", "qv-socks-pw"
PROXY_USER, PROXY_PASSWORD = "qvproxy", "qv-proxy-pw"


def scripted(conn, server):
    """Answers by request path; several requests per connection while the answer keeps it open."""
    while True:
        head, _ = server.read_request(conn)
        if not head:
            return
        method, target, fields = qvservers.parse_head(head)
        answer = ANSWERS.get(target.split("?")[0])
        if answer is None and target.startswith("/loop/"):
            n = int(target.rsplit("/", 1)[1])
            answer = f"HTTP/1.1 302 Found\r\nLocation: {n + 1}\r\nContent-Length: 0\r\n\r\n".encode()
        if target.split("?")[0] == "/echo":
            answer = b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n%s" % (len(head), head)
        if answer is None:
            answer = b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"
        if answer == b"hang":
            conn.recv(1)  # until the client goes away
            return
        conn.sendall(answer)
        if b"Connection: keep-alive" not in answer:
            return


ANSWERS = {
    "/no-reason": b"HTTP/1.1 200\r\nContent-Length: 0\r\n\r\n",
    "/bad-name": b"HTTP/1.1 200 OK\r\nBad Name: x\r\nContent-Length: 0\r\n\r\n",
    "/bare-lf-status": b"HTTP/1.1 200 OK\nContent-Length: 0\n\n",
    "/bare-lf-header": b"HTTP/1.1 200 OK\r\nContent-Length: 0\n\r\n",
    "/truncated-head": b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n",
    "/silent-close": b"",
    "/continue": b"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello",
    "/chunked": b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: keep-alive\r\n\r\n"
                b"5\r\nhello\r\n6;ext=1\r\n world\r\n0\r\nTrailer: x\r\n\r\n",
    "/bad-chunk": b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhelloXX0\r\n\r\n",
    "/cut-chunk": b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nhello",
    "/204": b"HTTP/1.1 204 No Content\r\n\r\n",
    "/307": b"HTTP/1.1 307 Temporary Redirect\r\nLocation: /target\r\nContent-Length: 0\r\n\r\n",
    "/303": b"HTTP/1.1 303 See Other\r\nLocation: /target\r\nContent-Length: 0\r\n\r\n",
    "/rel": b"HTTP/1.1 301 Moved\r\nLocation: target\r\nContent-Length: 0\r\n\r\n",
    "/bad-location": b"HTTP/1.1 302 Found\r\nLocation: http://h:x/\r\nContent-Length: 0\r\n\r\n",
    "/no-location": b"HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n",
    "/target": b"HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\ntarget",
    "/close-mid": b"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789",
    "/hang": b"hang",
}


def setup(servers):
    www = servers.folder("www")
    with open(os.path.join(www, "data.bin"), "wb") as f:
        f.write(bytes((i * 7 + i // 256) & 0xFF for i in range(100000)))
    certs = servers.folder("certs")
    ca = qvservers.make_ca(certs)
    self_cert, self_key = qvservers.make_cert(certs, "self-signed", ["localhost", "127.0.0.1"])
    ca_cert, ca_key = qvservers.make_cert(certs, "ca-signed", ["localhost"], ca)
    # A CA folder as OpenSSL reads one: certificates under their subject-hash names.
    ca_dir = servers.folder("ca-dir")
    shutil.copy(ca[0], ca_dir)
    subprocess.run(["openssl", "rehash", ca_dir], check=True, capture_output=True)
    log = os.path.join(servers.workdir, "nginx", "logs", "requests.log")
    common = f"""root {www};
        access_log {log} qv;
        keepalive_requests 100;
        location = /redirect {{ return 302 /data.bin; }}
        location = /redirect-abs {{ return 301 http://127.0.0.1:$server_port/data.bin; }}
        location = /set-cookie {{ add_header Set-Cookie "sid=42; Path=/"; return 200 "set"; }}
        location = /cookie {{ return 200 "$http_cookie"; }}"""
    nginx = servers.nginx(f"""
    server {{ listen 127.0.0.1:@PORT_HTTP@; {common} }}
    server {{ listen 127.0.0.1:@PORT_HTTPS@ ssl; ssl_certificate {self_cert}; ssl_certificate_key {self_key}; {common} }}
    server {{ listen 127.0.0.1:@PORT_HTTPS_CA@ ssl; ssl_certificate {ca_cert}; ssl_certificate_key {ca_key}; {common} }}
    """, http_extra="log_format qv '$server_port|$connection|$connection_requests|$ssl_server_name|$request|"
                    "$http_host|$http_range|$http_connection|$http_proxy_connection';")
    servers.export("QV_HTTP_PORT", nginx.ports["PORT_HTTP"])
    servers.export("QV_HTTPS_PORT", nginx.ports["PORT_HTTPS"])
    servers.export("QV_HTTPS_CA_PORT", nginx.ports["PORT_HTTPS_CA"])
    servers.export("QV_CA_FILE", ca[0])
    servers.export("QV_CA_DIR", ca_dir)
    servers.export("QV_NGINX_LOG", log)
    servers.export("QV_DATA_FILE", os.path.join(www, "data.bin"))
    servers.export("QV_SCRIPT_PORT", servers.scripted(scripted).port)
    servers.export("QV_SOCKS_PORT", servers.dante().port)
    qvservers.ensure_system_user(SOCKS_USER, SOCKS_PASSWORD)
    servers.export("QV_SOCKS_AUTH_PORT", servers.dante(name="dante-auth", users=True).port)
    servers.export("QV_SOCKS_USER", SOCKS_USER)
    servers.export("QV_SOCKS_PASSWORD", SOCKS_PASSWORD)
    servers.export("QV_PROXY_PORT", servers.tinyproxy().port)
    servers.export("QV_PROXY_AUTH_PORT", servers.tinyproxy(name="tinyproxy-auth", auth=(PROXY_USER, PROXY_PASSWORD)).port)
    servers.export("QV_PROXY_USER", PROXY_USER)
    servers.export("QV_PROXY_PASSWORD", PROXY_PASSWORD)
