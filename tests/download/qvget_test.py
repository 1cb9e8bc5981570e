#!/usr/bin/env python3
"""qvget_test.py QVGET: qvget's command line, exit codes and Ctrl+C resume, against servers.py
(run through tools/servers/run-test.py). The meta file left by Ctrl+C is read back with libtorrent's
bdecode, an independent bencode reader. A QVGET ending in .exe runs under wine (no Ctrl+C there)."""
import math
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_RUN = os.path.join(HERE, "..", "..", "tools", "wine-run.sh")
QVGET = sys.argv.pop(1)
WINE = QVGET.lower().endswith(".exe")
ENV = os.environ


def url(path, port="QV_HTTP_PORT"):
    return f"http://127.0.0.1:{ENV[port]}{path}"


def source(name):
    with open(os.path.join(ENV["QV_WWW"], name), "rb") as f:
        return f.read()


def qvget_argv(*args):
    if not WINE:
        return [QVGET] + list(args)
    # Wine maps the Unix root to drive Z:.
    return [WINE_RUN, QVGET] + ["Z:" + a.replace("/", "\\") if a.startswith("/") else a for a in args]


class Qvget(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="qvget_test_")
        self.out = os.path.join(self.dir, "out.bin")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def run_qvget(self, *args):
        return subprocess.run(qvget_argv(*args), capture_output=True, timeout=120)

    def test_exit_codes(self):
        cases = [
            (["-n", "4", url("/three.bin")], 0, True),
            ([url("/whole/three.bin")], 0, True),
            ([url("/nolength/1/three.bin", "QV_SCRIPT_PORT")], 2, False),
            ([url("/missing.bin")], 4, False),
        ]
        for args, code, made in cases:
            with self.subTest(args=args):
                for suffix in ("", ".tmp", ".cfg"):
                    if os.path.exists(self.out + suffix):
                        os.remove(self.out + suffix)
                result = self.run_qvget(*args, self.out)
                self.assertEqual(result.returncode, code, result.stderr.decode(errors="replace"))
                self.assertEqual(os.path.exists(self.out), made)
                if made:
                    with open(self.out, "rb") as f:
                        self.assertTrue(f.read() == source("three.bin"))
                # Not a terminal: plain progress lines, and the result last.
                self.assertIn(b"result ", result.stderr)

    def test_usage(self):
        for args in ([], [url("/three.bin")], ["-n", "0", url("/three.bin"), self.out],
                     ["-n", "x", url("/three.bin"), self.out], ["a", "b", "c"]):
            with self.subTest(args=args):
                result = self.run_qvget(*args)
                self.assertEqual(result.returncode, 1)
                self.assertFalse(os.path.exists(self.out))

    @unittest.skipIf(WINE, "Ctrl+C cannot be sent to a wine console program from here")
    def test_ctrl_c_keeps_resume_files_that_libtorrent_reads(self):
        import libtorrent  # python3-libtorrent, for /usr/bin/python3
        data = source("eight.bin")
        proc = subprocess.Popen(qvget_argv("-n", "2", url("/slow/eight.bin"), self.out), stderr=subprocess.PIPE)
        # Interrupt once the meta file records a piece (it is written once a second).
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and proc.poll() is None:
            try:
                with open(self.out + ".cfg", "rb") as f:
                    meta = libtorrent.bdecode(f.read())
                if meta and any(meta.get(b"bitfield", b"")):
                    break
            except (OSError, RuntimeError):  # not there yet, or still empty
                pass
            time.sleep(0.05)
        proc.send_signal(signal.SIGINT)
        _, err = proc.communicate(timeout=20)
        self.assertEqual(proc.returncode, 5, err.decode(errors="replace"))
        self.assertFalse(os.path.exists(self.out))
        with open(self.out + ".cfg", "rb") as f:
            meta = libtorrent.bdecode(f.read())
        self.assertEqual(sorted(meta), [b"bitfield", b"file_size", b"final_url", b"piece_num", b"piece_size"])
        size, piece, count = meta[b"file_size"], meta[b"piece_size"], meta[b"piece_num"]
        self.assertEqual(size, len(data))
        self.assertEqual(meta[b"final_url"], url("/slow/eight.bin").encode())
        self.assertEqual(count, math.ceil(size / piece))
        bits = meta[b"bitfield"]
        self.assertEqual(len(bits), (count + 7) // 8)
        self.assertEqual(bits[-1] & (0xFF >> (count % 8 or 8)), 0, "unused bits of the last byte are set")
        with open(self.out + ".tmp", "rb") as f:
            partial = f.read()
        done = [i for i in range(count) if bits[i // 8] & (0x80 >> (i % 8))]
        self.assertTrue(0 < len(done) < count, f"{len(done)} of {count} pieces done")
        for i in done:
            self.assertTrue(partial[i * piece:(i + 1) * piece] == data[i * piece:(i + 1) * piece], f"piece {i}")

        result = self.run_qvget(url("/eight.bin"), self.out)
        self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
        with open(self.out, "rb") as f:
            self.assertTrue(f.read() == data)
        self.assertFalse(os.path.exists(self.out + ".cfg"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
