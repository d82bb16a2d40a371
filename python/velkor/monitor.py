"""A client of the monitor of a process running virtual modules (the
protocol is in docs/monitor.md): status, the machine side's actions, the
clock, and the stream of samples and events.

    from velkor import monitor
    with monitor.connect("/tmp/mon/sock") as m:
        m.set_inputs(3, axis=1, set=0x100)
        m.subscribe(rate=100, events="all")
        for message in m.events(timeout=1.0):
            print(message["type"], message.get("event"))

Pure Python (sockets and json): it loads no library.
"""

import collections
import json
import os
import socket
import stat
import time


class MonitorError(Exception):
    """An error reply: ``code`` is the protocol's error code."""

    def __init__(self, code, message):
        super().__init__("%s: %s" % (code, message))
        self.code = code
        self.message = message


class Monitor:
    """One connection. Replies are matched to requests by id; samples and
    events that arrive meanwhile wait for ``events()``."""

    def __init__(self, sock):
        self._sock = sock
        self._buffer = b""
        self._waiting = collections.deque()
        self._next_id = 1
        self.hello = self._read_message(10.0)
        if self.hello is None or self.hello.get("protocol") != "velkor-monitor":
            raise MonitorError("protocol", "no monitor greeting")

    # ---- lines -----------------------------------------------------------
    def send_line(self, text):
        self._sock.sendall(text.encode() + b"\n")

    def _read_message(self, timeout):
        deadline = None if timeout is None else time.monotonic() + timeout
        while b"\n" not in self._buffer:
            remaining = None if deadline is None else deadline - time.monotonic()
            if remaining is not None and remaining <= 0:
                return None
            self._sock.settimeout(remaining)
            try:
                chunk = self._sock.recv(65536)
            except socket.timeout:
                return None
            if not chunk:
                raise ConnectionError("the monitor closed the connection")
            self._buffer += chunk
        line, self._buffer = self._buffer.split(b"\n", 1)
        return json.loads(line)

    def request(self, cmd, timeout=10.0, **args):
        """Sends a request and returns its result; raises MonitorError for
        an error reply."""
        ident = self._next_id
        self._next_id += 1
        message = {"id": ident, "cmd": cmd}
        message.update({k: v for k, v in args.items() if v is not None})
        self.send_line(json.dumps(message))
        deadline = time.monotonic() + timeout
        while True:
            got = self._read_message(max(0.0, deadline - time.monotonic()))
            if got is None:
                raise TimeoutError("no reply to %s within %s s" % (cmd, timeout))
            if got.get("type") == "reply" and got.get("id") == ident:
                if got.get("ok"):
                    return got.get("result")
                error = got.get("error", {})
                raise MonitorError(error.get("code"), error.get("message"))
            self._waiting.append(got)

    def events(self, timeout=None, duration=None):
        """Samples and events as they come (dicts); ends when nothing came
        for ``timeout`` seconds (None: never), after ``duration`` seconds in
        all (None: never), or when the connection ended."""
        end = None if duration is None else time.monotonic() + duration
        while True:
            if self._waiting:
                yield self._waiting.popleft()
                continue
            wait = timeout
            if end is not None:
                left = end - time.monotonic()
                if left <= 0:
                    return
                wait = left if wait is None else min(wait, left)
            try:
                got = self._read_message(wait)
            except ConnectionError:
                return
            if got is None:
                return
            yield got

    # ---- what the module shows --------------------------------------------
    def modules(self):
        return self.request("list")["modules"]

    def status(self, slot):
        return self.request("status", slot=slot)

    def subscribe(self, rate=0, slots=None, events=None):
        return self.request("subscribe", rate=rate, slots=slots, events=events)

    def unsubscribe(self):
        return self.request("unsubscribe")

    # ---- the machine side ---------------------------------------------------
    def set_inputs(self, slot, axis, set=None, clear=None, word=None):
        return self.request("set_inputs", slot=slot, axis=axis, set=set, clear=clear, word=word)

    def switch(self, slot, axis, name, on):
        return self.request("switch", slot=slot, axis=axis, name=name, on=bool(on))

    def move_switch(self, slot, axis, name, at=None, start=None, end=None):
        return self.request("move_switch", slot=slot, axis=axis, name=name, at=at, **{"from": start, "to": end})

    def drive_alarm(self, slot, axis, on):
        return self.request("drive_alarm", slot=slot, axis=axis, on=bool(on))

    def jog(self, slot, axis, direction):
        return self.request("jog", slot=slot, axis=axis, direction=direction)

    def handwheel(self, slot, axis, counts):
        return self.request("handwheel", slot=slot, axis=axis, counts=counts)

    def remote_input(self, slot, port, word):
        return self.request("remote_input", slot=slot, port=port, word=word)

    def latch(self, slot, axis, value):
        return self.request("latch", slot=slot, axis=axis, value=value)

    # ---- the clock ------------------------------------------------------------
    def pause(self, slot=None):
        return self.request("pause", slot=slot)

    def resume(self, slot=None):
        return self.request("resume", slot=slot)

    def step(self, slot, steps=1):
        return self.request("step", slot=slot, steps=steps)

    def speed(self, scale, slot=None):
        return self.request("speed", slot=slot, scale=scale)

    # ---- scope and trail --------------------------------------------------------
    def scope_arm(self, slot, settings=""):
        return self.request("scope_arm", slot=slot, settings=settings)

    def scope_stop(self, slot):
        return self.request("scope_stop", slot=slot)

    def scope_read(self, slot, max=None):
        return self.request("scope_read", slot=slot, max=max)

    def trail(self, slot, since=None, max=None):
        return self.request("trail_read", slot=slot, since=since, max=max)

    def close(self):
        self._sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def _open_socket(path, timeout):
    """A connected socket for the endpoint at path: a Unix socket, or the
    endpoint file of the TCP transport (Windows)."""
    mode = os.stat(path).st_mode
    if hasattr(socket, "AF_UNIX") and stat.S_ISSOCK(mode):
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        sock.settimeout(timeout)
        sock.connect(str(path))
        return sock
    with open(path) as f:
        words = f.read().split()
    if len(words) != 6 or words[0] != "velkor-monitor" or words[2] != "tcp" or words[3] != "127.0.0.1":
        raise MonitorError("endpoint", "%s is not a monitor endpoint" % (path,))
    sock = socket.create_connection(("127.0.0.1", int(words[4])), timeout=timeout)
    sock.sendall(words[5].encode() + b"\n")
    return sock


def connect(path, wait=0.0, timeout=10.0):
    """Connects to the monitor at ``path``, waiting up to ``wait`` seconds
    for the endpoint to appear."""
    deadline = time.monotonic() + wait
    while True:
        try:
            return Monitor(_open_socket(path, timeout))
        except (FileNotFoundError, ConnectionRefusedError):
            if time.monotonic() >= deadline:
                raise
            time.sleep(0.05)
