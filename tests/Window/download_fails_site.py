# A vendor site without the installer: nginx answers 404 on 127.0.0.1:80 and :443.
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "vendor_site"))
import vendor_site  # noqa: E402
import qvservers  # noqa: E402


def setup(servers):
    # Another run's vendor site may hold the ports; the requests would then reach it instead.
    vendor_site.wait_ports_free((vendor_site.HTTP_PORT, vendor_site.HTTPS_PORT), 240)
    www = servers.folder("www")
    cert, key = qvservers.make_cert(servers.folder("certs"), "127.0.0.1", ["127.0.0.1", "localhost"])
    servers.nginx(f"""
        server {{ listen 127.0.0.1:@PORT_HTTP@; root {www}; }}
        server {{ listen 127.0.0.1:@PORT_HTTPS@ ssl; ssl_certificate {cert}; ssl_certificate_key {key};
                  root {www}; }}""",
                  ports={"PORT_HTTP": vendor_site.HTTP_PORT, "PORT_HTTPS": vendor_site.HTTPS_PORT})
