#!/usr/bin/env python3
"""run-test.py SETUP.py [--work DIR] [--timeout S] -- PROGRAM [ARG...]

Runs SETUP.py's setup(servers) to start the servers a test needs (a qvservers.Servers, which also carries
the environment to export), runs PROGRAM with those variables (a .exe through tools/wine-run.sh), stops
every server it started and returns the program's exit code. See README.md beside this file.
"""
import argparse
import importlib.util
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import qvservers  # noqa: E402

WINE_RUN = os.path.join(os.path.dirname(HERE), "wine-run.sh")


def load_setup(path):
    spec = importlib.util.spec_from_file_location("qv_test_setup", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def main():
    parser = argparse.ArgumentParser(usage=__doc__.splitlines()[0])
    parser.add_argument("setup")
    parser.add_argument("--work", help="folder for server prefixes and logs (default: ./servers-<setup name>)")
    parser.add_argument("--timeout", type=float, default=300, help="seconds the program may run")
    argv = sys.argv[1:]
    if "--" not in argv:
        parser.error("no program given after --")
    split = argv.index("--")
    args = parser.parse_args(argv[:split])
    program = argv[split + 1:]
    if not program:
        parser.error("no program given after --")
    name = os.path.splitext(os.path.basename(args.setup))[0]
    work = args.work or os.path.join(os.getcwd(), f"servers-{name}")
    setup = load_setup(args.setup)
    # Logs of an earlier run must not leak into this one's checks.
    shutil.rmtree(work, ignore_errors=True)

    with qvservers.Servers(work) as servers:
        setup.setup(servers)
        env = dict(os.environ, **servers.env)
        argv = program
        if program[0].lower().endswith(".exe"):
            argv = [WINE_RUN] + program
        for key, value in sorted(servers.env.items()):
            print(f"run-test: {key}={value}", flush=True)
        try:
            rc = subprocess.run(argv, env=env, timeout=args.timeout).returncode
        except subprocess.TimeoutExpired:
            print(f"run-test: {program[0]} did not end within {args.timeout} s", flush=True)
            rc = 124
        if rc != 0:
            sys.stdout.write(servers.report())
    return rc


if __name__ == "__main__":
    sys.exit(main())
