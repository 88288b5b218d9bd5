"""A scripted service on 127.0.0.1: reads one request frame per connection and
answers what the test says, after a delay if it says so. Each connection is
served on a thread of its own, so slow replies overlap."""

from __future__ import annotations

import socket
import threading
import time
from collections.abc import Callable
from types import TracebackType

# Answers a request frame with the bytes to send, or None to close without a reply.
Answer = Callable[[bytes], "bytes | None"]


def reply(code: str, message: str = "") -> bytes:
    """A reply: the five-digit body length, then the body with code and message."""
    body = b" " * 40 + code.encode("ascii") + b"015" + message.encode("cp949")
    return b"%05d" % len(body) + body


def value_text(frame: bytes) -> str:
    """The value text of a service check's frame (bytes 87 to 97), spaces removed."""
    return frame[87:98].decode("cp949").rstrip()


class Responder:
    def __init__(self) -> None:
        self.answer: Answer = lambda frame: reply("0000")
        self.delay = 0.0
        self.frames: list[bytes] = []
        self._lock = threading.Lock()
        self._listener = socket.create_server(("127.0.0.1", 0))
        self._listener.settimeout(0.1)
        self.port: int = self._listener.getsockname()[1]
        self._stopping = threading.Event()
        self._threads: list[threading.Thread] = []
        self._acceptor = threading.Thread(target=self._accept, daemon=True)
        self._acceptor.start()

    def __enter__(self) -> Responder:
        return self

    def __exit__(self, kind: type[BaseException] | None, value: BaseException | None,
                 traceback: TracebackType | None) -> None:
        self._stopping.set()
        self._acceptor.join(5)
        for thread in self._threads:
            thread.join(5)
        self._listener.close()

    def _accept(self) -> None:
        # At most 64 connections in a test; each one is bounded in time.
        while not self._stopping.is_set() and len(self._threads) < 64:
            try:
                connection, _ = self._listener.accept()
            except TimeoutError:
                continue
            thread = threading.Thread(target=self._serve, args=(connection,), daemon=True)
            self._threads.append(thread)
            thread.start()

    def _serve(self, connection: socket.socket) -> None:
        with connection:
            connection.settimeout(5)
            try:
                frame = self._read_frame(connection)
                with self._lock:
                    self.frames.append(frame)
                time.sleep(self.delay)
                answer = self.answer(frame)
                if answer is not None:
                    connection.sendall(answer)
                    # Until the client closes its end, as the service does.
                    connection.recv(1)
            except OSError:
                pass

    @staticmethod
    def _read_frame(connection: socket.socket) -> bytes:
        data = b""
        while len(data) < 5 or len(data) < 5 + int(data[:5]):
            chunk = connection.recv(4096)
            if not chunk:
                break
            data += chunk
        return data
