"""Runs jt6400-cli serve (or the panel) against jt6400-sim on a pseudo-terminal
for the network tests, and small socket clients for them. Every wait is for a
condition, bounded in time; every server and simulator started here is ended
by its owner."""
import os
import re
import signal
import socket
import subprocess
import tempfile
import time

BIN = os.environ.get("JT6400_BIN", "")
WAIT = 30.0  # the longest any condition is waited for


def wait_for(condition, what, timeout=WAIT):
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.01)


class Simulator:
    """jt6400-sim linked as COM1 in a port folder of its own, with a trace."""

    def __init__(self, *options):
        self.dir = tempfile.TemporaryDirectory(prefix="jt6400-remote-")
        self.ports = os.path.join(self.dir.name, "ports")
        os.mkdir(self.ports)
        self.trace_path = os.path.join(self.dir.name, "trace.txt")
        self.proc = subprocess.Popen(
            [os.path.join(BIN, "jt6400-sim"), "--link", os.path.join(self.ports, "COM1"),
             "--trace", self.trace_path, *options],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.device = self.proc.stdout.readline().strip()
        if not self.device:
            raise AssertionError("the simulator did not start")

    def received(self):
        """The lines the generator received, in order."""
        try:
            with open(self.trace_path, encoding="latin-1") as f:
                return [line.rstrip("\n").split(" RX ", 1)[1] for line in f if " RX " in line]
        except FileNotFoundError:
            return []

    def vanish(self):
        self.proc.send_signal(signal.SIGUSR1)

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=WAIT)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stdout.close()
        self.proc.stdin.close()
        self.dir.cleanup()


class Server:
    """jt6400-cli serve on COM1 of Sim; the port is the one the system chose
    unless Address names one."""

    def __init__(self, sim, *options, address="127.0.0.1:0"):
        env = dict(os.environ, JT6400_PORT_DIR=sim.ports)
        self.log_path = os.path.join(sim.dir.name, "traffic.txt")
        self.proc = subprocess.Popen(
            [os.path.join(BIN, "jt6400-cli"), "--port", "1", "--log", self.log_path, *options, "serve", address],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
        self.lines = []
        # serve says where it listens before it looks for the generator, and
        # that it serves once it has found it.
        first = self.proc.stdout.readline()
        match = re.search(r"^listening on (\S+):(\d+)$", first.strip())
        second = self.proc.stdout.readline() if match else ""
        if not match or not second.startswith("serving the "):
            self.proc.kill()
            self.proc.wait()
            errors = self.proc.stderr.read()
            self.proc.stdout.close()
            self.proc.stderr.close()
            raise AssertionError("serve did not start: %r %r %r" % (first, second, errors))
        self.host = match.group(1).strip("[]")
        self.port = int(match.group(2))
        self.first_line = first.strip()

    def resource(self):
        return "TCPIP::%s::%d::SOCKET" % (self.host, self.port)

    def end(self):
        """Ends the server as a user does (SIGINT) and returns its exit code."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGINT)
        try:
            code = self.proc.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise AssertionError("serve did not end on SIGINT")
        self.output = self.proc.stdout.read()
        self.errors = self.proc.stderr.read()
        self.proc.stdout.close()
        self.proc.stderr.close()
        return code


class Client:
    """A plain socket client that reads whole lines."""

    def __init__(self, port, host="127.0.0.1", timeout=WAIT):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        self.buffer = b""

    def send(self, data):
        self.sock.sendall(data)

    def line(self):
        """The next reply line without its LF; None at the end of the connection."""
        while b"\n" not in self.buffer:
            chunk = self.sock.recv(65536)
            if not chunk:
                return None
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode("latin-1")

    def query(self, text):
        self.send(text.encode("latin-1") + b"\n")
        return self.line()

    def closed(self):
        """True once the server has closed the connection (all data read)."""
        try:
            while True:
                chunk = self.sock.recv(65536)
                if not chunk:
                    return True
                self.buffer += chunk
        except ConnectionResetError:
            return True

    def close(self):
        self.sock.close()
