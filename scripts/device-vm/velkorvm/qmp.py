"""A client of QEMU's machine protocol (QMP) over its Unix socket."""

import json
import socket
import time


# QEMU answers a command at once; a silent one means it hangs, which must not hang the test.
COMMAND_SECONDS = 30


class QmpError(RuntimeError):
    pass


class Qmp:
    """One connection: commands in order, their answers, and the events that came meanwhile."""

    def __init__(self, path, timeout=30.0):
        self._socket = _connect(path, timeout)
        self._buffer = b""
        self.events = []
        if self._read_message(time.monotonic() + timeout) is None:  # the greeting
            raise QmpError(f"QEMU sent no greeting within {timeout} s")
        self.command("qmp_capabilities")

    def close(self):
        self._socket.close()

    def command(self, name, **arguments):
        request = {"execute": name}
        if arguments:
            request["arguments"] = arguments
        self._socket.sendall(json.dumps(request).encode() + b"\n")
        deadline = time.monotonic() + COMMAND_SECONDS
        while True:
            message = self._read_message(deadline)
            if message is None:
                raise QmpError(f"{name}: no answer within {COMMAND_SECONDS} s")
            if "event" in message:
                self.events.append(message)
            elif "error" in message:
                raise QmpError(f"{name}: {message['error'].get('desc', message['error'])}")
            elif "return" in message:
                return message["return"]

    def send_keys(self, *keys, hold_ms=80):
        """Presses each key in turn; a key is a QEMU key code ("ret", "down") or a chord ("shift-tab")."""
        for key in keys:
            codes = [{"type": "qcode", "data": code} for code in key.split("-")]
            self.command("send-key", keys=codes, **{"hold-time": hold_ms})
            time.sleep(0.3)  # the guest's input path and Qt take their turn between presses

    def screendump(self, path, image_format="ppm"):
        self.command("screendump", filename=str(path), format=image_format)

    def wait_for_event(self, name, timeout, data=None):
        """The first event NAME (whose data holds data's items, when given), the ones already received
        included, taken from the events; None after timeout seconds."""
        deadline = time.monotonic() + timeout
        while True:
            for event in self.events:
                if event["event"] == name and (data or {}).items() <= event.get("data", {}).items():
                    self.events.remove(event)
                    return event
            try:
                message = self._read_message(deadline)
            except QmpError:
                return None  # QEMU ended without sending it
            if message is None:
                return None
            self.events.append(message)

    def _read_message(self, deadline=None):
        """The next message; None when the deadline passed first."""
        while b"\n" not in self._buffer:
            if deadline is not None:
                remaining = deadline - time.monotonic()
                if remaining <= 0:
                    return None
                self._socket.settimeout(remaining)
            try:
                chunk = self._socket.recv(65536)
            except (socket.timeout, TimeoutError):
                return None
            finally:
                self._socket.settimeout(None)
            if not chunk:
                raise QmpError("QEMU closed its machine protocol socket")
            self._buffer += chunk
        line, self._buffer = self._buffer.split(b"\n", 1)
        return json.loads(line)


def _connect(path, timeout):
    deadline = time.monotonic() + timeout
    while True:
        connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            connection.connect(str(path))
            return connection
        except (FileNotFoundError, ConnectionRefusedError):
            connection.close()
            if time.monotonic() > deadline:
                raise
            time.sleep(0.1)
