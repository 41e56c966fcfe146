#!/usr/bin/env python3
"""End-to-end figures of the real VelarixSrv on loopback.

Usage: bench/server/server_bench.py <build folder>   (e.g. build)

Starts VelarixSrv headless in a temporary program folder (a stand-in `net` keeps it from
publishing a real share) and reports:
  - RSS and CPU over 10 s of idle time with 25 registered workstations;
  - time from connect to the version reply, median and 95th percentile over 1,000 connections;
  - CPU time the server spends while one client floods 10,000 messages;
  - RSS before and after a minute of connect-and-drop on every port (STORM_SECONDS to change).
"""
import os
import shutil
import signal
import socket
import statistics
import sys
import tempfile
import time

from benchserver import cpu_seconds, start_server

BASE = 23500


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def read_reply(sock):
    data = b""
    while not data.endswith(b"\r"):
        chunk = sock.recv(256)
        if not chunk:
            break
        data += chunk
    return data


def register(port, name):
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(b"PC:" + name + b"\r")
    read_reply(s)
    return s


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    tmp = tempfile.mkdtemp(prefix="velarix-bench-")
    server = start_server(build, tmp, BASE, VELARIX_MAX_PER_ADDRESS="25")
    try:
        time.sleep(0.5)

        # 1. Idle with 25 registered workstations.
        clients = [register(BASE + i, b"PC%02d" % i) for i in range(25)]
        time.sleep(1)
        cpu0 = cpu_seconds(server.pid)
        time.sleep(10)
        idle_cpu = (cpu_seconds(server.pid) - cpu0) / 10 * 100
        print(f"idle, 25 registered: RSS {rss_kib(server.pid) / 1024:.1f} MiB, "
              f"CPU {idle_cpu:.2f} %")
        for c in clients[1:]:
            c.close()
        time.sleep(0.5)

        # 2. Connect to version reply, 1,000 connections on the second port.
        times = []
        retries = 0
        for i in range(1000):
            # The slot listens again once the server has seen the previous close; until then
            # the port refuses (or resets a connection queued on the old listener): retry.
            while True:
                t0 = time.perf_counter()
                try:
                    s = socket.create_connection(("127.0.0.1", BASE + 1))
                    s.sendall(b"PC:BENCH\r")
                    if read_reply(s):
                        break
                except OSError:
                    pass
                retries += 1
                time.sleep(0.001)
            times.append((time.perf_counter() - t0) * 1000)
            s.close()
        times.sort()
        print(f"connect to version reply over 1000 connections: median {statistics.median(times):.2f} ms, "
              f"p95 {times[949]:.2f} ms ({retries} attempts retried while the slot reopened)")
        time.sleep(0.5)

        # 3. One client floods 10,000 messages.
        flood = clients[0]
        cpu0 = cpu_seconds(server.pid)
        t0 = time.perf_counter()
        payload = b"".join(b"Messaggio di prova %05d\r" % i for i in range(9999)) + b"PC:FINE\r"
        flood.sendall(payload)
        read_reply(flood)
        elapsed = time.perf_counter() - t0
        used = cpu_seconds(server.pid) - cpu0
        print(f"flood of 10000 messages: handled in {elapsed:.2f} s, server CPU {used:.2f} s, "
              f"RSS after {rss_kib(server.pid) / 1024:.1f} MiB")
        flood.close()

        # 4. Connect-and-drop storm over every port for a minute: memory must stay flat.
        seconds = float(os.environ.get("STORM_SECONDS", "60"))
        rss0 = rss_kib(server.pid)
        end = time.time() + seconds
        attempts = 0
        while time.time() < end:
            try:
                s = socket.create_connection(("127.0.0.1", BASE + attempts % 25), timeout=0.2)
                if attempts % 3 == 0:
                    s.sendall(b"PC:TEMP\r")
                s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\0\0\0\0\0\0\0")
                s.close()
            except OSError:
                pass
            attempts += 1
        time.sleep(1)
        answered = False
        for attempt in range(50):
            try:
                s = socket.create_connection(("127.0.0.1", BASE + 5), timeout=1)
                s.sendall(b"PC:DOPO\r")
                answered = read_reply(s).startswith(b"Velarix 1.0 rev. ")
                s.close()
                if answered:
                    break
            except OSError:
                time.sleep(0.05)
        print(f"connect/drop storm for {seconds:.0f} s ({attempts} attempts): RSS {rss0 / 1024:.1f} "
              f"-> {rss_kib(server.pid) / 1024:.1f} MiB, still answering: {answered}")
    finally:
        server.send_signal(signal.SIGTERM)
        server.wait(timeout=15)
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
