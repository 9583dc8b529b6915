#!/usr/bin/env python3
"""Runs the panel's performance measurements side by side and prints one
table with the targets. Called by bench/run after the build.

    perf.py BUILD_DIR
"""
import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
BIN = os.path.abspath(os.path.join(BUILD, "bin"))
HERE = os.path.dirname(os.path.abspath(__file__))
TICK = os.sysconf("SC_CLK_TCK")
PASSES = 15  # read-backs and saves, each taking turns with what it is compared with

rows = []  # (measure, value, target, verdict)


def row(measure, value, target="", ok=None):
    verdict = "" if ok is None else ("met" if ok else "NOT MET")
    rows.append((measure, value, target, verdict))


def number(pattern, text):
    m = re.search(pattern, text, re.M)
    return float(m.group(1)) if m else float("nan")


def start_sim(args, link):
    p = subprocess.Popen([os.path.join(BIN, "jt6400-sim")] + args + ["--link", link],
                         stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    device = p.stdout.readline().strip()
    return p, device


def stop(*procs):
    for p in procs:
        if p and p.poll() is None:
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def memory_kib(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def main():
    work = tempfile.mkdtemp(prefix="jt6400-bench.")
    try:
        # Read-back of a 6404+ at line rate, taking turns with a Python script
        # that asks the same queries of the same simulated generator.
        out = subprocess.run([os.path.join(BIN, "bench_readback"), "--count", str(PASSES), "--script",
                              os.path.join(HERE, "replay.py")],
                             capture_output=True, text=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen")).stdout
        wall = number(r"wall time, median\s+([\d.]+)", out)
        cpu = number(r"CPU time \(UI thread\), median\s+([\d.]+)", out)
        bound = number(r"lower bound \(\+ 1 ms per query\)\s+([\d.]+)", out)
        line = number(r"line time \(bytes x 10 / 115200\)\s+([\d.]+)", out)
        py_ms = number(r"replay script, median\s+([\d.]+)", out)
        exchanges = number(r"read-back exchanges, median\s+([\d.]+)", out)
        py_exchanges = number(r"replay script exchanges, median\s+([\d.]+)", out)
        row("read-back 6404+, wall (median of %d)" % PASSES, "%.0f ms" % wall)
        row("  line time of its bytes", "%.0f ms" % line)
        floor = number(r"floor \(lines \+ pauses \+ turnaround\)\s+([\d.]+)", out)
        turnaround = number(r"generator turnaround, median\s+([\d.]+)", out)
        row("  ratio to line time + 1 ms per query", "%.2f x of %.0f ms" % (wall / bound, bound))
        row("  generator's turnaround (its trace: line in to answer out)", "%.0f ms" % turnaround)
        row("  ratio to lines + pauses + turnaround, measured in this run", "%.2f x of %.0f ms" % (wall / floor, floor),
            "<= 1.08 x", wall / floor <= 1.08)
        row("  CPU time during the read-back", "%.0f ms (%.1f %%)" % (cpu, 100 * cpu / wall), "< 5 %",
            cpu / wall < 0.05)
        row("same queries, Python script with the same 1 ms pause, in turns", "%.0f ms" % py_ms)
        row("  panel's whole read-back (menu greyed, window filled) to that script", "%.3f x" % (wall / py_ms))
        row("  panel's exchanges to the script's (generator's trace, first query to last answer)",
            "%.3f x of %.0f ms" % (exchanges / py_exchanges, py_exchanges), "<= 1.00 x", exchanges <= py_exchanges)

        # jt6400-cli's save against the panel's read-back of the same generator.
        out = subprocess.run([os.path.join(BIN, "bench_cli_save"), "--count", str(PASSES)], capture_output=True,
                             text=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen")).stdout
        panel_rb = number(r"panel read-back, median\s+([\d.]+)", out)
        panel_x = number(r"panel read-back exchanges, median\s+([\d.]+)", out)
        whole = number(r"cli save, whole process, median\s+([\d.]+)", out)
        start = number(r"cli save, start-up and wait after opening, median\s+([\d.]+)", out)
        probe = number(r"cli save, probe exchanges, median\s+([\d.]+)", out)
        part = number(r"cli save, read-back part, median\s+([\d.]+)", out)
        tail = number(r"cli save, last answer to exit, median\s+([\d.]+)", out)
        row("jt6400-cli save 6404+, whole process (median of %d)" % PASSES, "%.0f ms" % whole)
        row("  its read-back to the panel's (first query to last answer, %.0f ms)" % panel_x,
            "%.2f x" % (part / panel_x), "<= 1.05 x", part / panel_x <= 1.05)
        row("  whole save to the panel's whole read-back (%.0f ms)" % panel_rb, "%.2f x" % (whole / panel_rb))
        row("  start-up, port opened, the probe's 100 ms wait", "%.0f ms" % start)
        row("  probe: echo off twice, identification twice", "%.0f ms" % probe)
        row("  last answer to exit (file written)", "%.0f ms" % tail)

        # One exchange.
        out = subprocess.run([os.path.join(BIN, "bench_exchange"), "--count", "200"], capture_output=True,
                             text=True).stdout
        m = re.search(r"^line rate, events on\s+\|?\s*\d+\s*\|?\s*([\d.]+)", out, re.M)
        exchange = float(m.group(1)) if m else number(r"line rate, events on\D+\d+\D+([\d.]+)", out)
        row("one exchange at line rate (mean)", "%.2f ms" % exchange)

        # The running panel: start-up among three ports, idle CPU, memory.
        ports = os.path.join(work, "ports")
        os.mkdir(ports)
        os.symlink("/nonexistent/ttyUSB7", os.path.join(ports, "COM1"))
        silent, _ = start_sim(["--model", "6404+", "--silent"], os.path.join(ports, "COM2"))
        live, _ = start_sim(["--model", "6404+", "--pace"], os.path.join(ports, "COM3"))
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        display = ":" + xvfb.stdout.readline().strip()
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", JT6400_PORT_DIR=ports)
        started = time.monotonic()
        # The network server on, no client connected.
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            remote_port = s.getsockname()[1]
        panel = subprocess.Popen([os.path.join(BIN, "jt6400"), "--remote", "127.0.0.1:%d" % remote_port],
                                 env=env, cwd=work,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        filled = None
        while time.monotonic() - started < 20 and panel.poll() is None:
            found = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(panel.pid),
                                    "--name", "ComPort:"], env=env, capture_output=True, text=True).stdout
            if found.strip():
                filled = time.monotonic() - started
                break
            time.sleep(0.01)
        if filled is None:
            row("start-up to filled window", "not reached", "< 1.5 s", False)
        else:
            row("start-up to filled window (dead, silent, live port)", "%.2f s" % filled, "< 1.5 s", filled < 1.5)
            time.sleep(2)
            c0, t0 = cpu_seconds(panel.pid), time.monotonic()
            time.sleep(10)
            idle = 100 * (cpu_seconds(panel.pid) - c0) / (time.monotonic() - t0)
            row("idle CPU while polling status, server on, no client (10 s)", "%.2f %%" % idle, "< 1 %",
                idle < 1)
            row("resident memory (now / peak)", "%.1f / %.1f MiB" % (memory_kib(panel.pid, "VmRSS") / 1024,
                                                                  memory_kib(panel.pid, "VmHWM") / 1024))
        stop(panel, xvfb, silent, live)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    width = max(len(r[0]) for r in rows)
    vwidth = max(len(r[1]) for r in rows)
    print("%-*s  %-*s  %-10s  %s" % (width, "measure", vwidth, "value", "target", "verdict"))
    for r in rows:
        print("%-*s  %-*s  %-10s  %s" % (width, r[0], vwidth, r[1], r[2], r[3]))


if __name__ == "__main__":
    main()
