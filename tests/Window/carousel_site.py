# Serves three carousel images on 127.0.0.1:443 and :80 (the request helper tries HTTPS on 443 first).
import hashlib
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "vendor_site"))
import vendor_site  # noqa: E402
import qvservers  # noqa: E402


def setup(servers):
    # Another run's vendor site may hold the ports; the requests would then reach it instead.
    vendor_site.wait_ports_free((vendor_site.HTTP_PORT, vendor_site.HTTPS_PORT), 240)
    www = servers.folder("www")
    os.makedirs(os.path.join(www, "carousel"), exist_ok=True)
    for number, colour in enumerate(vendor_site.BANNER_COLOURS, start=1):
        png = vendor_site.banner_png(number, colour)
        with open(os.path.join(www, "carousel", f"banner{number}.png"), "wb") as f:
            f.write(png)
        servers.export(f"QV_CAROUSEL_MD5_{number}", hashlib.md5(png).hexdigest().upper())
    log = os.path.join(servers.folder("logs"), "carousel.log")
    cert, key = qvservers.make_cert(servers.folder("certs"), "127.0.0.1", ["127.0.0.1", "localhost"])
    servers.nginx(f"""
        server {{ listen 127.0.0.1:@PORT_HTTP@; root {www}; access_log {log}; }}
        server {{ listen 127.0.0.1:@PORT_HTTPS@ ssl; ssl_certificate {cert}; ssl_certificate_key {key};
                  root {www}; access_log {log}; }}""",
                  ports={"PORT_HTTP": vendor_site.HTTP_PORT, "PORT_HTTPS": vendor_site.HTTPS_PORT})
    servers.export("QV_CAROUSEL_LOG", "Z:" + log.replace("/", "\\"))
