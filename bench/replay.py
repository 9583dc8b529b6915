#!/usr/bin/env python3
"""The same query sequence as the panel's read-back, done the way a user
would with a short script and nothing but Python's standard library: open
the serial device raw, write each line, read until the CR that ends the
answer. Like the panel, it pauses PAUSE_MS (default 1) before each query, so
the two differ only in how they do the exchange. Prints the wall time in
milliseconds of each pass.

    replay.py DEVICE QUERIES_FILE [PASSES [PAUSE_MS]]
"""
import os
import sys
import time
import tty


def ask(fd, line):
    os.write(fd, line.encode("latin-1") + b"\r\n")
    answer = b""
    while not answer.endswith(b"\r"):
        answer += os.read(fd, 256)
    return answer


def main():
    device, queries_file = sys.argv[1], sys.argv[2]
    passes = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    pause = (float(sys.argv[4]) if len(sys.argv) > 4 else 1.0) / 1000.0
    with open(queries_file, encoding="latin-1") as f:
        queries = [q.rstrip("\n") for q in f if q.strip()]
    fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    # Echo off first, as the panel's discovery does; its echo and answer are
    # drained before the timing starts.
    os.write(fd, b":SYST:COMM:USB:ECH OFF\r\n")
    time.sleep(0.2)
    os.set_blocking(fd, False)
    try:
        while os.read(fd, 4096):
            pass
    except BlockingIOError:
        pass
    os.set_blocking(fd, True)
    for _ in range(passes):
        start = time.perf_counter()
        for q in queries:
            time.sleep(pause)
            ask(fd, q)
        print("%.1f" % ((time.perf_counter() - start) * 1000.0))
    os.close(fd)


if __name__ == "__main__":
    main()
