"""jt6400-cli serve against the simulated generator, with real clients:
PyVISA (its pure-Python backend) as lab scripts use it, and plain sockets
for malformed input and misbehaving clients."""
import os
import re
import socket
import subprocess
import sys
import threading
import unittest

import pyvisa

from serve_support import WAIT, Client, Server, Simulator, wait_for

IDN = "JT,6404+,1234,2.1.0-3.0.7"


def visa(server):
    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource(server.resource(), read_termination="\n", write_termination="\n")
    inst.timeout = 30000
    return rm, inst


class Served(unittest.TestCase):
    """One generator and one server for the tests that leave both working."""

    @classmethod
    def setUpClass(cls):
        # Channel D's delay is answered 100 ms late, so that a burst of it
        # keeps the line busy long enough to see another client's turn.
        cls.sim = Simulator("--answer", "slow=100@:PULS4:DEL")
        cls.server = Server(cls.sim)

    @classmethod
    def tearDownClass(cls):
        code = cls.server.end()
        cls.sim.close()
        assert code == 0, "serve ended with %d: %s" % (code, cls.server.errors)

    def test_pyvisa_identity_width_errors_and_opc(self):
        rm, inst = visa(self.server)
        try:
            self.assertEqual(inst.query("*IDN?"), IDN)
            inst.write(":PULS1:WIDT 2E-6")
            self.assertAlmostEqual(float(inst.query(":PULS1:WIDT?")), 2e-6, places=12)
            self.assertEqual(inst.query("SYST:ERR?"), '0,"No error"')
            inst.write(":PULS1:WIDT 99999")
            inst.write(":PULS1:NOSUCH 1")
            self.assertEqual(inst.query("SYST:ERR?"), '-222,"Data out of range; ERR: out of range"')
            self.assertTrue(inst.query("SYST:ERR?").startswith('-113,"Undefined header; ?UNKNOWN'))
            self.assertEqual(inst.query("SYST:ERR?"), '0,"No error"')
            # A burst of set commands, then *OPC?: once it answers, every one
            # of them has been carried out, in order.
            before = len(self.sim.received())
            for i in range(1, 41):
                inst.write(":PULS2:DEL %dE-9" % i)
            self.assertEqual(inst.query("*OPC?"), "1")
            sent = [line for line in self.sim.received()[before:] if line.startswith(":PULS2:DEL")]
            self.assertEqual(sent, [":PULS2:DEL %dE-9" % i for i in range(1, 41)])
            self.assertAlmostEqual(float(inst.query(":PULS2:DEL?")), 40e-9, places=12)
        finally:
            inst.close()
            rm.close()

    def test_pyvisa_compound_lines_each_command_its_own_line(self):
        rm, inst = visa(self.server)
        try:
            before = len(self.sim.received())
            self.assertAlmostEqual(float(inst.query(":PULS1:WIDT 3E-6;:PULS1:WIDT?")), 3e-6, places=12)
            self.assertEqual(inst.query("*IDN?;*OPC?"), IDN + ";1")
            reply = inst.query(":PULS1:WIDT?;SYST:ERR?;:PULS2:WIDT 5E-6;:PULS2:WIDT?;")
            width, error, width2 = reply.split(";")
            self.assertAlmostEqual(float(width), 3e-6, places=12)
            self.assertEqual(error, '0,"No error"')
            self.assertAlmostEqual(float(width2), 5e-6, places=12)
            # Each command went to the generator as a line of its own, in order.
            self.assertEqual(self.sim.received()[before:],
                             [":PULS1:WIDT 3E-6", ":PULS1:WIDT?", "*IDN?", ":PULS1:WIDT?", ":PULS2:WIDT 5E-6",
                              ":PULS2:WIDT?"])
            # Tabs are white space; a ";" in a quoted string does not split.
            inst.write(":PULS1:WIDT\t4E-6\t;\t:PULS1:POL 'a;b'")
            self.assertEqual(inst.query("SYST:ERR:ALL?"), '-224,"Illegal parameter value; ERR: unknown keyword"')
            self.assertAlmostEqual(float(inst.query(":PULS1:WIDT?")), 4e-6, places=12)
            self.assertEqual(self.sim.received()[-3:-1], [":PULS1:WIDT 4E-6", ":PULS1:POL 'a;b'"])
        finally:
            inst.close()
            rm.close()

    def test_pyvisa_common_commands_and_the_status_model(self):
        rm, inst = visa(self.server)
        try:
            inst.write("*CLS;*ESE 60;*SRE 32")
            self.assertEqual(inst.query("*STB?"), "0")
            inst.write(":PULS1:WIDT 99999")
            # Error queue bit, event summary (execution error enabled) and
            # the service request it asks for.
            self.assertEqual(inst.query("*STB?"), "100")
            self.assertEqual(inst.query("*ESE?;*SRE?;SYST:ERR:COUN?"), "60;32;1")
            self.assertEqual(inst.query("*ESR?;*ESR?"), "16;0")
            self.assertEqual(inst.query("*OPC;*ESR?;*STB?"), "1;20")
            self.assertEqual(inst.query("SYST:ERR:ALL?"), '-222,"Data out of range; ERR: out of range"')
            self.assertEqual(inst.query("SYST:VERS?;*TST?;*OPT?;*OPC?"), "1999.0;0;PLUS;1")
            # *RST stops the pulses and leaves every setting as it was.
            inst.write(":PULS1:WIDT 6E-6;:PULS0:STAT ON;*WAI")
            self.assertEqual(inst.query(":PULS0:STAT?"), "1")
            before = len(self.sim.received())
            inst.write("*RST")
            self.assertEqual(inst.query(":PULS0:STAT?;:PULS1:WIDT?").split(";")[0], "0")
            self.assertAlmostEqual(float(inst.query(":PULS1:WIDT?")), 6e-6, places=12)
            self.assertEqual(self.sim.received()[before], ":PULS0:STAT OFF")
            self.assertEqual(inst.query("SYST:ERR:COUN?;SYST:ERR?"), '0;0,"No error"')
        finally:
            inst.close()
            rm.close()

    def test_generator_errors_get_their_scpi_codes(self):
        c = Client(self.server.port)
        try:
            cases = [
                (":PULS1:WIDT 99999", '-222,"Data out of range; ERR: out of range"'),
                (":PULS1:WIDT abc", '-104,"Data type error; ERR: malformed value"'),
                (":PULS1:STAT 2", '-224,"Illegal parameter value; ERR: malformed value"'),
                (":PULS1:BCO 1.5", '-224,"Illegal parameter value; ERR: malformed value"'),
                (":PULS1:POL SIDEWAYS", '-224,"Illegal parameter value; ERR: unknown keyword"'),
                (":PULS1:WIDT", '-109,"Missing parameter; ERR: missing value"'),
                (":PULS1:NOSUCH 1", '-113,"Undefined header; ?UNKNOWN :PULS1:NOSUCH"'),
            ]
            for command, error in cases:
                c.send(command.encode() + b"\n")
                self.assertEqual(c.query("SYST:ERR?"), error, command)
        finally:
            c.close()

    def test_a_half_closed_connection_gets_every_reply(self):
        # nc -N ends its sending at the end of its input and prints every
        # reply until the server closes.
        for data, replies in [
            (b"*IDN?\n", [IDN]),
            (b":PULS1:WIDT 2E-6\n:PULS4:DEL 3E-9\n:PULS1:WIDT?;:PULS4:DEL?\n*OPC?\n",
             ["0.000002000000;0.000000003000", "1"]),
        ]:
            done = subprocess.run(["nc", "-N", "127.0.0.1", str(self.server.port)], input=data,
                                  capture_output=True, timeout=WAIT)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(done.stdout.decode().splitlines(), replies)
        # Three set commands and a query, the sending ended at once: all of
        # them are carried out (channel D's delay holds the line 100 ms
        # each), the reply comes, then the server closes. A last line
        # without its end is dropped.
        before = len(self.sim.received())
        c = Client(self.server.port)
        c.send(b":PULS4:DEL 11E-9\n:PULS4:DEL 12E-9\n:PULS4:DEL 13E-9\n:PULS4:DEL?\n:PULS4:DEL 99E-9")
        c.sock.shutdown(socket.SHUT_WR)
        self.assertAlmostEqual(float(c.line()), 13e-9, places=15)
        self.assertIsNone(c.line())
        c.close()
        self.assertEqual([line for line in self.sim.received()[before:] if line.startswith(":PULS4:DEL")],
                         [":PULS4:DEL 11E-9", ":PULS4:DEL 12E-9", ":PULS4:DEL 13E-9", ":PULS4:DEL?"])

    def test_one_connection_holds_the_lock(self):
        rm, a = visa(self.server)
        b = Client(self.server.port)
        try:
            self.assertEqual(a.query("SYST:LOCK:REQ?"), "1")
            before = len(self.sim.received())
            self.assertEqual(b.query("SYST:LOCK:REQ?"), "0")
            b.send(b":PULS2:WIDT 7E-6\n")
            self.assertEqual(b.query(":PULS2:WIDT?;SYST:ERR?").split(";", 1)[1],
                             '-203,"Command protected; another connection holds the lock"')
            self.assertNotIn(":PULS2:WIDT 7E-6", self.sim.received()[before:])
            self.assertEqual(a.query(":PULS2:WIDT 8E-6;*OPC?"), "1")
            self.assertAlmostEqual(float(b.query(":PULS2:WIDT?")), 8e-6, places=12)
            # The lock ends with its connection.
            a.close()
            a = None
            wait_for(lambda: b.query("SYST:LOCK:REQ?") == "1", "the lock free once its holder closed")
            self.assertEqual(b.query("SYST:LOCK:REL;SYST:LOCK:REQ?;SYST:LOCK:REL;*OPC?"), "1;1")
        finally:
            if a is not None:
                a.close()
            b.close()
            rm.close()
            # The next test starts with the lock free.
            def free():
                c = Client(self.server.port)
                try:
                    return c.query("SYST:LOCK:REQ?;SYST:LOCK:REL") == "1"
                finally:
                    c.close()
            wait_for(free, "the lock free")

    def test_clients_take_turns_on_the_line(self):
        a = Client(self.server.port)
        b = Client(self.server.port)
        try:
            before = len(self.sim.received())
            a.send(b"".join(b":PULS4:DEL %dE-9\n" % i for i in range(1, 31)))
            wait_for(lambda: ":PULS4:DEL 1E-9" in self.sim.received()[before:], "the first line of the burst")
            seen = sum(1 for line in self.sim.received()[before:] if line.startswith(":PULS4:DEL"))
            self.assertEqual(b.query("*IDN?"), IDN)
            received = self.sim.received()[before:]
            # One line of A on the line and at most one waiting for it: B's
            # line comes right after them, not after A's whole burst. Each of
            # A's lines holds the line for 100 ms, so the bound cannot be
            # overrun by the moments B's line takes to reach the server.
            ahead = sum(1 for line in received[:received.index("*IDN?")] if line.startswith(":PULS4:DEL"))
            self.assertLessEqual(ahead, seen + 2)
            self.assertEqual(a.query("*OPC?"), "1")
            self.assertEqual([line for line in self.sim.received()[before:] if line.startswith(":PULS4:DEL")],
                             [":PULS4:DEL %dE-9" % i for i in range(1, 31)])
        finally:
            a.close()
            b.close()

    def test_replies_come_in_the_order_of_the_lines(self):
        # A query carried to the generator, then at once lines the server
        # answers itself: the generator's answer comes first.
        c = Client(self.server.port)
        try:
            c.send(b":PULS4:DEL 7E-9\n:PULS4:DEL?\nSYST:ERR?\n*OPC?\n*IDN?\nSYST:ERR?\n")
            self.assertAlmostEqual(float(c.line()), 7e-9, places=15)
            self.assertEqual([c.line() for _ in range(4)], ['0,"No error"', "1", IDN, '0,"No error"'])
        finally:
            c.close()

    def test_malformed_input_gets_errors_and_never_reaches_the_line(self):
        c = Client(self.server.port)
        try:
            before = len(self.sim.received())
            c.send(b"A" * 5000 + b":PULS1:WIDT 1E-6\n")
            c.send(b":PULS1:WIDT 1E-6\x00\n")
            c.send(b":PULS1:POL \xc9\n")
            c.send(b"\n")
            c.send(b"\r\n")
            c.send(b"*CLS extra\n")
            c.send(b"*IDN?" + b"\r\n")
            self.assertEqual(c.line(), IDN)
            expected = [
                '-363,"Input buffer overrun; a line holds at most 4096 bytes"',
                '-101,"Invalid character; only printable ASCII is accepted"',
                '-101,"Invalid character; only printable ASCII is accepted"',
                '-102,"Syntax error; empty line"',
                '-102,"Syntax error; empty line"',
                '-108,"Parameter not allowed"',
                '0,"No error"',
            ]
            self.assertEqual([c.query("SYST:ERR?") for _ in expected], expected)
            self.assertEqual(self.sim.received()[before:], ["*IDN?"])
        finally:
            c.close()

    def test_a_silent_client_holds_nobody_up(self):
        silent = Client(self.server.port)
        half = Client(self.server.port)
        try:
            half.send(b"*IDN")  # a line that never ends
            c = Client(self.server.port)
            self.assertEqual(c.query("*IDN?"), IDN)
            self.assertEqual(c.query("*OPC?"), "1")
            c.close()
        finally:
            silent.close()
            half.close()

    def test_a_client_that_never_reads_is_closed(self):
        c = Client(self.server.port)
        c.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        c.sock.settimeout(5)
        # The server answers these itself, as fast as they come: the replies
        # pile up until the server gives up on the client.
        chunk = b"*OPC?\n" * 10000
        closed = False
        for _ in range(2000):
            try:
                c.sock.sendall(chunk)
            except (BrokenPipeError, ConnectionResetError):
                closed = True
                break
            except socket.timeout:
                # The server reads no more either: wait for it to close.
                break
        if not closed:
            c.sock.settimeout(30)
            closed = c.closed()
        self.assertTrue(closed)
        c.close()
        other = Client(self.server.port)
        self.assertEqual(other.query("*IDN?"), IDN)
        other.close()

    def test_a_client_gone_in_the_middle_of_its_query(self):
        before = len(self.sim.received())
        c = Client(self.server.port)
        c.send(b":PULS3:WIDT?\n")
        wait_for(lambda: ":PULS3:WIDT?" in self.sim.received()[before:], "the query on the line")
        c.close()
        other = Client(self.server.port)
        self.assertEqual(other.query("*IDN?"), IDN)
        other.close()
        self.assertEqual(self.sim.received()[before:].count(":PULS3:WIDT?"), 1)

    def test_eight_clients_at_most_and_a_burst_of_connections(self):
        # The other tests' clients are gone once the server has seen them go.
        wait_for(lambda: len(self.connected_now()) == 0, "no clients left")
        burst = []
        try:
            for _ in range(200):
                burst.append(socket.create_connection(("127.0.0.1", self.server.port), timeout=30))
            refused = 0
            kept = []
            for s in burst:
                c = Client.__new__(Client)
                c.sock, c.buffer = s, b""
                s.settimeout(30)
                s.sendall(b"*OPC?\n")
                line = c.line()
                if line is not None and line.startswith("Refused: too many clients (at most 8 at once)"):
                    refused += 1
                    self.assertIsNone(c.line())
                else:
                    self.assertEqual(line, "1")
                    kept.append(c)
            self.assertEqual(len(kept), 8)
            self.assertEqual(refused, 192)
        finally:
            for s in burst:
                s.close()
        wait_for(lambda: len(self.connected_now()) == 0, "the burst's clients gone")
        c = Client(self.server.port)
        self.assertEqual(c.query("*IDN?"), IDN)
        c.close()

    def connected_now(self):
        """The clients that the traffic log shows connected and not closed."""
        with open(self.server.log_path, encoding="latin-1") as f:
            lines = f.read().splitlines()
        now = set()
        for line in lines:
            if not line.startswith("Remote  ("):
                continue
            text = line.split("): ", 1)[1]
            name, _, what = text.partition(" ")
            if what == "connected":
                now.add(name)
            elif what.startswith("closed"):
                now.discard(name)
        return now

    def test_four_clients_of_mixed_lines_at_once(self):
        before = len(self.sim.received())
        failures = []

        def run(k):
            try:
                c = Client(self.server.port)
                for i in range(1, 251):
                    if i % 2:
                        c.send((":PULS%d:DEL %dE-9\n" % (k, i)).encode())
                    else:
                        answer = c.query(":PULS%d:DEL?" % k)
                        if abs(float(answer) - (i - 1) * 1e-9) > 1e-15:
                            failures.append("client %d line %d: %r" % (k, i, answer))
                c.close()
            except Exception as e:  # reported by the test below
                failures.append("client %d: %r" % (k, e))

        threads = [threading.Thread(target=run, args=(k,)) for k in range(1, 5)]
        for t in threads:
            t.start()
        for t in threads:
            t.join(120)
        self.assertEqual(failures, [])
        received = self.sim.received()[before:]
        for k in range(1, 5):
            mine = [line for line in received if line.startswith(":PULS%d:DEL" % k)]
            expected = [(":PULS%d:DEL %dE-9" % (k, i)) if i % 2 else (":PULS%d:DEL?" % k) for i in range(1, 251)]
            self.assertEqual(mine, expected)


class Limits(unittest.TestCase):
    def setUp(self):
        self.sim = Simulator()

    def tearDown(self):
        self.sim.close()

    def test_a_client_outside_the_allow_list_is_told_and_closed(self):
        server = Server(self.sim, "--allow", "10.0.0.0/8")
        refusal = re.compile(r"Remote  \(\d\d:\d\d:\d\d\.\d\d\d\): 127\.0\.0\.1:\d+ refused: 127\.0\.0\.1 is not")

        def logged():
            with open(server.log_path, encoding="latin-1") as f:
                return refusal.search(f.read())

        try:
            c = Client(server.port)
            self.assertEqual(c.line(), "Refused: 127.0.0.1 is not on the allow-list of this generator")
            self.assertIsNone(c.line())
            c.close()
            # The traffic log is written on the line, in its turn.
            wait_for(logged, "the refusal in the traffic log")
        finally:
            self.assertEqual(server.end(), 0)
        self.assertIn("127.0.0.1", server.output)

    def test_line_mode_replies_to_every_line_as_the_serial_line_does(self):
        server = Server(self.sim, "--line-mode")
        rm, inst = visa(server)
        try:
            self.assertEqual(inst.query(":PULS1:WIDT 2E-6"), "ok")
            self.assertEqual(inst.query(":PULS1:WIDT 99999"), "ERR: out of range")
            self.assertTrue(inst.query("SYST:ERR?").startswith("?"))
            self.assertEqual(inst.query("*IDN?"), IDN)
        finally:
            # Ended with the client still connected: the client's closing
            # reaches the traffic log before serve ends.
            self.assertEqual(server.end(), 0)
            inst.close()
            rm.close()
        with open(server.log_path, encoding="latin-1") as f:
            self.assertIn("closed: server stopped", f.read())

    def test_the_generator_vanishing_closes_every_client_and_ends_serve(self):
        server = Server(self.sim)
        clients = [Client(server.port) for _ in range(3)]
        self.assertEqual(clients[0].query("*IDN?"), IDN)
        self.sim.vanish()
        # The simulator takes its port's link away as it vanishes.
        wait_for(lambda: not os.path.lexists(os.path.join(self.sim.ports, "COM1")), "the generator gone")
        clients[1].send(b"*IDN?\n")
        for c in clients:
            self.assertEqual(c.line(), '-240,"Hardware error; the generator stopped answering"')
            self.assertIsNone(c.line())
            c.close()
        self.assertEqual(server.proc.wait(timeout=60), 3)
        self.assertIn("stopped answering", server.proc.stderr.read())
        server.proc.stdout.close()
        server.proc.stderr.close()

    def test_a_taken_address_is_reported_before_the_generator_is_looked_for(self):
        holder = socket.socket()
        holder.bind(("127.0.0.1", 0))
        holder.listen(1)
        try:
            with self.assertRaises(AssertionError) as caught:
                Server(self.sim, address="127.0.0.1:%d" % holder.getsockname()[1])
            self.assertIn("cannot listen on 127.0.0.1:%d" % holder.getsockname()[1], str(caught.exception))
            # Nothing was sent to the generator: discovery never started.
            self.assertEqual(self.sim.received(), [])
        finally:
            holder.close()

    def test_listening_addresses(self):
        # The port the system chose is told; localhost is the loopback
        # address; [::] serves IPv6 and IPv4 clients alike.
        for address, shown, clients in [
            ("127.0.0.1:0", "127.0.0.1", ["127.0.0.1"]),
            ("localhost:0", "127.0.0.1", ["127.0.0.1"]),
            ("[::]:0", "[::]", ["127.0.0.1", "::1"]),
        ]:
            server = Server(self.sim, address=address)
            try:
                self.assertEqual(server.first_line, "listening on %s:%d" % (shown, server.port))
                self.assertNotEqual(server.port, 0)
                for host in clients:
                    c = Client(server.port, host=host)
                    self.assertEqual(c.query("*IDN?"), IDN, host)
                    # The server's side of the connection has keepalive on,
                    # to find a client that vanished without closing.
                    ss = subprocess.run(["ss", "-tnoH", "state", "established", "( sport = :%d )" % server.port],
                                        capture_output=True, text=True, timeout=WAIT)
                    self.assertIn("keepalive", ss.stdout)
                    c.close()
            finally:
                self.assertEqual(server.end(), 0)

    def test_a_silent_client_is_closed_with_a_last_line(self):
        server = Server(self.sim, "--idle", "1")
        try:
            c = Client(server.port)
            self.assertEqual(c.line(), "Closed: idle for more than 1 s")
            self.assertIsNone(c.line())
            c.close()
        finally:
            self.assertEqual(server.end(), 0)
        self.assertIn("closed: idle for more than 1 s", server.output)

    def test_line_mode_answers_its_own_framing_errors_as_the_generator_does(self):
        server = Server(self.sim, "--line-mode")
        c = Client(server.port)
        try:
            c.send(b"\n" + b"A" * 5000 + b"\n:PULS1:WIDT 1E-6\x01\n*IDN?\n")
            self.assertEqual([c.line() for _ in range(4)],
                             ["ERR: empty line", "ERR: line too long (at most 4096 bytes)",
                              "ERR: invalid character", IDN])
        finally:
            c.close()
            self.assertEqual(server.end(), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
