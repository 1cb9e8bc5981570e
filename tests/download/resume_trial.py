#!/usr/bin/env python3
"""resume_trial.py --qvget QVGET [--kills N] [--mib M] [--wine TERMINATE_AFTER_EXE]

Kills qvget at random moments of a download from a throttled loopback nginx (16 connections of
1 MiB/s), restarts it each time, and checks that the final file's SHA-256 equals the source's. Prints,
for each restart, the bytes the server sent in the killed run that the resume meta file did not
record, i.e. what the next run fetches again. Natively the kill is SIGKILL; under wine qvget.exe runs
inside terminate_after.exe, which ends it with TerminateProcess."""
import argparse
import hashlib
import os
import random
import re
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "servers"))
import qvservers  # noqa: E402

WINE_RUN = os.path.join(HERE, "..", "..", "tools", "wine-run.sh")
RATE = 1048576  # per connection
CONNECTIONS = 16


def bdecode(data, i=0):
    """A minimal bencode reader, enough to read the meta file."""
    c = data[i:i + 1]
    if c == b"i":
        end = data.index(b"e", i)
        return int(data[i + 1:end]), end + 1
    if c == b"d":
        i += 1
        out = {}
        while data[i:i + 1] != b"e":
            key, i = bdecode(data, i)
            out[key], i = bdecode(data, i)
        return out, i + 1
    if c.isdigit():
        colon = data.index(b":", i)
        n = int(data[i:colon])
        return data[colon + 1:colon + 1 + n], colon + 1 + n
    raise ValueError(f"bad bencode at {i}")


def done_bytes(cfg, size):
    try:
        with open(cfg, "rb") as f:
            meta, _ = bdecode(f.read())
    except (OSError, ValueError):
        return 0
    piece = meta[b"piece_size"]
    bits = meta[b"bitfield"]
    total = 0
    for i in range(meta[b"piece_num"]):
        if bits[i // 8] & (0x80 >> (i % 8)):
            total += min(piece, size - i * piece)
    return total


def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--qvget", required=True)
    parser.add_argument("--kills", type=int, default=20)
    parser.add_argument("--mib", type=int, default=256)
    parser.add_argument("--wine", help="terminate_after.exe: run qvget.exe under wine and kill it with TerminateProcess")
    parser.add_argument("--work", default=os.path.join(os.getcwd(), "resume-trial"))
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    rnd = random.Random(args.seed)
    size = args.mib * 1048576

    with qvservers.Servers(args.work) as servers:
        www = servers.folder("www")
        source = os.path.join(www, "trial.bin")
        if not os.path.exists(source) or os.path.getsize(source) != size:
            with open(source, "wb") as f:
                for _ in range(args.mib):
                    f.write(os.urandom(1048576))
        logs = servers.folder("logs")
        log = os.path.join(logs, "trial.log")
        if os.path.exists(log):
            os.remove(log)
        nginx = servers.nginx(f"""
            server {{
                listen 127.0.0.1:@PORT_HTTP@;
                access_log {log} trial;
                location / {{ root {www}; limit_rate {RATE}; }}
            }}""", http_extra='log_format trial "$arg_run $status $body_bytes_sent";')
        out = servers.folder("out")
        target = os.path.join(out, "trial.bin")
        for suffix in ("", ".tmp", ".cfg"):
            if os.path.exists(target + suffix):
                os.remove(target + suffix)
        port = nginx.ports["PORT_HTTP"]
        print(f"resume trial: {args.mib} MiB, {CONNECTIONS} connections of {RATE // 1024} KiB/s, "
              f"{args.kills} kills, seed {args.seed}", flush=True)

        def winpath(path):  # wine maps the Unix root to drive Z:
            return "Z:" + path.replace("/", "\\")

        def command(run):
            url = f"http://127.0.0.1:{port}/trial.bin?run={run}"
            if args.wine:
                return [WINE_RUN, args.wine, "{delay}", winpath(args.qvget), "-n", str(CONNECTIONS), url,
                        winpath(target)]
            return [args.qvget, "-n", str(CONNECTIONS), url, target]

        done = [0]
        kills = 0
        for run in range(args.kills):
            delay = rnd.uniform(0.3, 1.3) + (2.0 if args.wine else 0.0)  # wine needs a moment to start
            argv = [a.replace("{delay}", str(int(delay * 1000))) for a in command(run)]
            started = time.monotonic()
            proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if args.wine:
                rc = proc.wait(timeout=120)
                killed = rc == 99
            else:
                try:
                    rc = proc.wait(timeout=delay)
                    killed = False
                except subprocess.TimeoutExpired:
                    proc.send_signal(signal.SIGKILL)
                    proc.wait()
                    killed = True
            if not killed:
                print(f"run {run}: ended by itself with {rc} after {time.monotonic() - started:.1f} s", flush=True)
                break
            kills += 1
            done.append(done_bytes(target + ".cfg", size))

        final = len(done) - 1
        argv = [a.replace("{delay}", "600000") for a in command(final)]
        rc = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300).returncode
        if rc != 0:
            print(f"final run ended with {rc}")
            return 1
        digest, expected = sha256(target), sha256(source)

        time.sleep(1)  # nginx logs a request when its connection ends
        sent = {}
        with open(log) as f:
            for line in f:
                m = re.match(r"(\d+) \d+ (\d+)", line)
                if m:
                    sent[int(m.group(1))] = sent.get(int(m.group(1)), 0) + int(m.group(2))
        piece = 131072 if args.mib == 256 else None
        bound = RATE * CONNECTIONS + CONNECTIONS * 8 * (piece or 0)
        worst = 0
        for run in range(kills):
            new = done[run + 1] - done[run]
            again = sent.get(run, 0) - new
            worst = max(worst, again)
            print(f"restart {run + 1}: server sent {sent.get(run, 0) / 1048576:7.2f} MiB, recorded "
                  f"{new / 1048576:7.2f} MiB, fetched again {again / 1048576:6.2f} MiB", flush=True)
        print(f"kills {kills}, worst refetch {worst / 1048576:.2f} MiB "
              f"(one second of transfer plus one range per connection: {bound / 1048576:.0f} MiB)")
        print(f"sha256 {digest} {'equals' if digest == expected else 'DIFFERS from'} the source's")
        if digest != expected:
            return 1
        if kills < args.kills:
            print(f"only {kills} kills happened before the download completed")
            return 1
        if bound and worst > 3 * bound:
            print("a restart fetched far more than the meta file should allow")
            return 1
        return 0


if __name__ == "__main__":
    sys.exit(main())
