# The redirect question always goes to plain HTTP on 127.0.0.1:80: the stub router there.
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tool"))
import stubs  # noqa: E402


def setup(servers):
    store = stubs.fresh_folder(servers, "store")
    servers.scripted(stubs.Router(store).handler, port=80)
    servers.export("QV_STUB_DIR", stubs.windows_path(store))
