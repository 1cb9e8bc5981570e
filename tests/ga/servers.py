# Analytics collectors on free ports: one that takes every report (204) and one without the endpoint (404).
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tool"))
import stubs  # noqa: E402


def setup(servers):
    for name, status in (("COLLECT", 204), ("COLLECT404", 404)):
        store = stubs.fresh_folder(servers, name.lower())
        collector = servers.scripted(stubs.Router(store, collect_status=status).handler)
        servers.export(f"QV_{name}_PORT", collector.port)
        servers.export(f"QV_{name}_DIR", stubs.windows_path(store))
