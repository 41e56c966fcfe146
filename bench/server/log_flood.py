#!/usr/bin/env python3
"""How much a flooding peer makes the real VelarixSrv's log grow.

Usage: bench/server/log_flood.py <build folder> [SECONDS]   (default 10)

Starts VelarixSrv headless in a temporary program folder and, for SECONDS each, lets one
registered peer send as fast as it can:
  - 60,000-byte messages ended by a carriage return;
  - short messages ("x" + CR);
then reports the bytes sent, the growth of the log and its set-aside files (VXreg*.txt) and how
many set-aside files there are, and the server's CPU time.
"""
import glob
import os
import shutil
import socket
import sys
import tempfile
import time

from benchserver import cpu_seconds, start_server

BASE = 23600


def log_bytes(folder):
    files = glob.glob(os.path.join(folder, "VXreg*.txt"))
    return sum(os.path.getsize(f) for f in files), len(files) - 1


def flood(tmp, server, message, seconds, port):
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(b"PC:RUMORE\r")
    s.recv(256)
    before, _ = log_bytes(tmp)
    cpu0 = cpu_seconds(server.pid)
    sent = 0
    end = time.time() + seconds
    while time.time() < end:
        s.sendall(message)
        sent += len(message)
    s.sendall(b"PC:RUMORE\r")  # answered once the server has read everything before it
    s.settimeout(120)
    s.recv(256)
    after, asides = log_bytes(tmp)
    cpu = cpu_seconds(server.pid) - cpu0
    s.close()
    return sent, after - before, asides, cpu


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    tmp = tempfile.mkdtemp(prefix="velarix-logflood-")
    server = start_server(build, tmp, BASE)
    try:
        for port, label, message in ((BASE, "60,000-byte messages", b"x" * 60000 + b"\r"),
                                     (BASE + 1, "short messages", b"x\r" * 1000)):
            sent, grown, asides, cpu = flood(tmp, server, message, seconds, port)
            print(f"{label} for {seconds:g} s: {sent / 1e6:.1f} MB sent, log grew "
                  f"{grown / 1e3:.1f} kB, {asides} set-aside logs, server CPU {cpu:.1f} s")
    finally:
        server.terminate()
        server.wait()
        shutil.rmtree(tmp)


if __name__ == "__main__":
    main()
