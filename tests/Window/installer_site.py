# A vendor site that serves only the installer: the test product padded to QV_SITE_PAD_MB (40) MB, sent at
# QV_SITE_RATE (64k, nginx's limit_rate; 0 = unlimited) per connection, on 127.0.0.1:80 and :443;
# everything else is a 404.
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "vendor_site"))
import vendor_site  # noqa: E402
import qvservers  # noqa: E402



def setup(servers):
    # Another run's vendor site may hold the ports; the requests would then reach it instead.
    vendor_site.wait_ports_free((vendor_site.HTTP_PORT, vendor_site.HTTPS_PORT), 240)
    www = servers.folder("www")
    with open(os.environ["QV_TEST_PRODUCT_SETUP_PATH"], "rb") as f:
        data = f.read()
    pad = max(0, int(os.environ.get("QV_SITE_PAD_MB", "40")) * 1048576 - len(data))
    data += (bytes(range(251)) * (pad // 251 + 1))[:pad]
    os.makedirs(os.path.join(www, "download"), exist_ok=True)
    for name in ("quorvane_setup_x86.exe", "quorvane_setup_x64.exe"):
        with open(os.path.join(www, "download", name), "wb") as f:
            f.write(data)
    cert, key = qvservers.make_cert(servers.folder("certs"), "127.0.0.1", ["127.0.0.1", "localhost"])
    rate = os.environ.get("QV_SITE_RATE", "64k")
    site = f"root {www}; location /download/ {{ limit_rate {rate}; }}"
    servers.nginx(f"""
        server {{ listen 127.0.0.1:@PORT_HTTP@; {site} }}
        server {{ listen 127.0.0.1:@PORT_HTTPS@ ssl; ssl_certificate {cert}; ssl_certificate_key {key}; {site} }}""",
                  ports={"PORT_HTTP": vendor_site.HTTP_PORT, "PORT_HTTPS": vendor_site.HTTPS_PORT})
