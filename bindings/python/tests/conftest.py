"""Fixtures: a real otpd on loopback, a configured client, and a scripted responder."""

from __future__ import annotations

import os
import pathlib
import selectors
import subprocess
from collections.abc import Iterator

import pytest

import otpcli

from responder import Responder

SITE = "SITE01"
KEY = "site key material"
KOREAN_SITE = "한국사이트"
KOREAN_KEY = "한글 키 재료"

_WEIGHTS = (2, 3, 4, 5, 6, 7, 8, 9, 2, 3, 4, 5)


def rrn(first12: str) -> str:
    """A resident registration number: the twelve digits and their check digit."""
    total = sum(int(d) * w for d, w in zip(first12, _WEIGHTS))
    return first12 + str((11 - total % 11) % 10)


NUMBER = rrn("850503123456")  # born 3 May 1985, seventh digit 1
OTHER_NUMBER = rrn("900101212345")


class Otpd:
    """An otpd process listening on 127.0.0.1 at a port it picked."""

    def __init__(self, directory: pathlib.Path, sites: dict[str, str]) -> None:
        self.directory = directory
        config = directory / "sites.conf"
        # The sites in a file of their own: no key on a command line.
        config.write_text("".join(f"{site}:{key}\n" for site, key in sites.items()), "utf-8")
        self.log_path = directory / "otpd.log"
        self.outbox_path = directory / "outbox"
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(
                [os.environ["OTPD_PATH"], "--listen", "127.0.0.1", "--port", "0",
                 "--config", str(config), "--outbox", str(self.outbox_path),
                 "--deadline", "2"],
                stdout=subprocess.PIPE, stderr=log)
        self.port = self._read_port()

    def _read_port(self) -> int:
        assert self.process.stdout is not None
        with selectors.DefaultSelector() as selector:
            selector.register(self.process.stdout, selectors.EVENT_READ)
            if not selector.select(timeout=10):
                self.stop()
                raise RuntimeError("otpd did not start: " + self.log())
        line = self.process.stdout.readline().decode()
        prefix = "listening 127.0.0.1:"
        if not line.startswith(prefix):
            self.stop()
            raise RuntimeError(f"otpd said {line!r}: " + self.log())
        return int(line[len(prefix):])

    def stop(self) -> None:
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self.process.stdout is not None:
            self.process.stdout.close()

    def log(self) -> str:
        return self.log_path.read_text("utf-8", errors="replace")

    def requests_served(self) -> int:
        """How many requests otpd has answered (one log line each)."""
        return sum(1 for line in self.log().splitlines() if " -> " in line)

    def outbox_lines(self) -> list[list[str]]:
        if not self.outbox_path.exists():
            return []
        return [line.split("\t") for line in self.outbox_path.read_text("utf-8").splitlines()]

    def last_otp(self, identity: str) -> int:
        otps = [fields[0] for fields in self.outbox_lines() if fields[1] == identity]
        assert otps, f"no OTP delivered for {identity}"
        return int(otps[-1])


@pytest.fixture(autouse=True)
def loopback_servers() -> Iterator[None]:
    # Both servers on the address otpd listens on, the primary current and no
    # failed connects counted, whatever the build's hosts or the last test.
    otpcli.set_server_hosts("127.0.0.1", "127.0.0.1")
    yield
    otpcli.set_server_hosts("127.0.0.1", "127.0.0.1")


@pytest.fixture
def otpd(tmp_path: pathlib.Path, request: pytest.FixtureRequest) -> Iterator[Otpd]:
    service = Otpd(tmp_path, {SITE: KEY, KOREAN_SITE: KOREAN_KEY, "가" * 16: "열여섯 글자 사이트의 키"})
    yield service
    service.stop()
    report = getattr(request.node, "rep_call", None)
    if report is not None and report.failed:
        print("--- otpd log ---\n" + service.log())


@pytest.fixture
def client(otpd: Otpd) -> Iterator[otpcli.Client]:
    with otpcli.Client(port=otpd.port, site=SITE, key=KEY, connect_timeout=2) as c:
        yield c


@pytest.fixture
def responder() -> Iterator[Responder]:
    with Responder() as r:
        yield r


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item: pytest.Item, call: pytest.CallInfo[None]) -> Iterator[None]:
    outcome = yield
    report = outcome.get_result()
    if report.when == "call":
        item.rep_call = report  # type: ignore[attr-defined]
