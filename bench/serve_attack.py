#!/usr/bin/env python3
"""Measures `quillmark serve` as an attacker would meet it, on loopback.

    bench/serve_attack.py slow PORT [SLOW_CONNECTIONS] [SECONDS]
        Opens SLOW_CONNECTIONS (default 200) connections from 127.0.0.2 to
        127.0.0.5 that each send one byte of a request every 2 s
        (reconnecting when the server cuts them off), and meanwhile times a
        normal client's requests for "/" from 127.0.0.1, one connection each. Prints the answered count and latency percentiles.

    bench/serve_attack.py flood PORT PID [MEGABYTES]
        Sends header lines without end on one connection (up to MEGABYTES,
        default 300) and prints the resident memory of process PID (the
        server) before, at the end of the flood and 2 s after it closed.
"""
import socket
import statistics
import sys
import threading
import time


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return -1


def slow_client(port, source, stop):
    request = b"GET / HTTP/1.1\r\nHost: x\r\nX-Slow: " + b"s" * 10000
    while not stop.is_set():
        try:
            sock = socket.create_connection(("127.0.0.1", port), timeout=5, source_address=(source, 0))
            for i in range(len(request)):
                if stop.is_set():
                    break
                sock.sendall(request[i:i + 1])
                stop.wait(2)
            sock.close()
        except OSError:
            stop.wait(0.5)


def normal_request(port):
    start = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port), timeout=10) as sock:
        sock.sendall(b"GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        answer = b""
        while True:
            chunk = sock.recv(65536)
            if not chunk:
                break
            answer += chunk
    return time.perf_counter() - start, answer.startswith(b"HTTP/1.1 200")


def slow(port, count=200, seconds=20):
    stop = threading.Event()
    # From 127.0.0.2 to 127.0.0.5, as from several hosts: one address alone
    # is held to its share of connections (--max-per-address).
    threads = [threading.Thread(target=slow_client, args=(port, f"127.0.0.{2 + i % 4}", stop), daemon=True)
               for i in range(count)]
    for thread in threads:
        thread.start()
    time.sleep(1)
    latencies, answered, asked = [], 0, 0
    end = time.time() + seconds
    while time.time() < end:
        asked += 1
        try:
            elapsed, ok = normal_request(port)
            latencies.append(elapsed * 1000)
            answered += ok
        except OSError:
            pass
        time.sleep(0.05)
    stop.set()
    latencies.sort()
    if latencies:
        p99 = latencies[min(len(latencies) - 1, int(len(latencies) * 0.99))]
        print(f"{count} slow connections: {answered}/{asked} answered, median {statistics.median(latencies):.2f} ms, "
              f"p99 {p99:.2f} ms, max {latencies[-1]:.2f} ms")
    else:
        print(f"{count} slow connections: 0/{asked} answered")


def flood(port, pid, megabytes=300):
    before = resident_kib(pid)
    lines = b"".join(b"X-%d: flood\r\n" % i for i in range(5000))
    sent = 0
    sock = socket.create_connection(("127.0.0.1", port), timeout=10)
    try:
        sock.sendall(b"GET / HTTP/1.1\r\nHost: x\r\n")
        while sent < megabytes * 1024 * 1024:
            sock.sendall(lines)
            sent += len(lines)
    except OSError as error:
        print(f"server stopped taking the flood after {sent} bytes ({error.strerror})")
    during = resident_kib(pid)
    sock.close()
    time.sleep(2)
    after = resident_kib(pid)
    print(f"flood of {sent / 1048576:.1f} MiB: resident {before} KiB before, {during} KiB at its end, "
          f"{after} KiB 2 s after")


if __name__ == "__main__":
    mode, port = sys.argv[1], int(sys.argv[2])
    if mode == "slow":
        slow(port, *(int(a) for a in sys.argv[3:5]))
    else:
        flood(port, int(sys.argv[3]), *(int(a) for a in sys.argv[4:5]))
