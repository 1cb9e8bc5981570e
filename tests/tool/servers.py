# Peers of the client tests: the scripted router on 127.0.0.1:80, TLS in front of it on :443, the router
# again on a free port, and nginx on a free port serving real files.
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import stubs  # noqa: E402


def setup(servers):
    store = stubs.fresh_folder(servers, "store")
    router = stubs.Router(store)
    ca_der, certs = stubs.make_certs(servers.folder("certs"))
    servers.scripted(router.handler, port=80)
    servers.scripted(stubs.TlsFront(router, certs).handler, port=443)
    high = servers.scripted(router.handler)

    www = servers.folder("www")
    for name, size in (("data.bin", 200 * 1024), ("big.bin", 9 * 1024 * 1024)):
        with open(os.path.join(www, name), "wb") as f:
            f.write(stubs.pattern(size))
    nginx = servers.nginx(f"server {{ listen 127.0.0.1:@PORT_HTTP@; root {www}; }}")

    servers.export("QV_STUB_DIR", stubs.windows_path(store))
    servers.export("QV_TEST_CA", stubs.windows_path(ca_der))
    servers.export("QV_STUB_PORT", high.port)
    servers.export("QV_NGINX_PORT", nginx.ports["PORT_HTTP"])
