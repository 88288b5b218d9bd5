"""The GIL is released for the exchange; one Client serialises its callers."""

from __future__ import annotations

import threading
import time
from collections.abc import Callable

import otpcli

from conftest import KEY, SITE
from responder import Responder, reply, value_text

DELAY = 0.8


def run_threads(*jobs: Callable[[], None]) -> float:
    """Runs the jobs on threads at once; the seconds until the last has ended."""
    threads = [threading.Thread(target=job) for job in jobs]
    started = time.monotonic()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(30)
    return time.monotonic() - started


def echoing(responder: Responder) -> None:
    # Refuses every check with its own value text, so that each caller can
    # tell its answer from another's.
    responder.delay = DELAY
    responder.answer = lambda frame: reply("S900", value_text(frame))


def checker(client_for: Callable[[], otpcli.Client], name: str,
            answers: dict[str, str]) -> Callable[[], None]:
    def job() -> None:
        client = client_for()
        try:
            client.addsvc_check(code_text="SVC", value_text=name)
        except otpcli.OtpError as error:
            answers[name] = error.message
    return job


def test_two_clients_on_two_threads_take_the_time_of_one(responder: Responder) -> None:
    echoing(responder)
    answers: dict[str, str] = {}

    def own_client() -> otpcli.Client:
        return otpcli.Client(port=responder.port, site=SITE, key=KEY)

    # Meanwhile this thread keeps running Python code.
    ticks = 0
    done = threading.Event()

    def ticker() -> None:
        nonlocal ticks
        while not done.is_set():
            ticks += 1
            time.sleep(0.01)

    ticking = threading.Thread(target=ticker)
    ticking.start()
    elapsed = run_threads(checker(own_client, "one", answers), checker(own_client, "two", answers))
    done.set()
    ticking.join()
    assert answers == {"one": "one", "two": "two"}
    assert DELAY <= elapsed < 1.5 * DELAY, elapsed
    assert ticks > 20


def test_shared_client_serialises_its_callers(responder: Responder) -> None:
    echoing(responder)
    answers: dict[str, str] = {}
    with otpcli.Client(port=responder.port, site=SITE, key=KEY) as shared:
        elapsed = run_threads(*(checker(lambda: shared, name, answers) for name in ("a", "b", "c")))
    # One exchange at a time, and each caller gets the answer to its own request.
    assert answers == {"a": "a", "b": "b", "c": "c"}
    assert elapsed >= 3 * DELAY * 0.95, elapsed
    assert len(responder.frames) == 3


def test_close_waits_for_the_request_in_flight(responder: Responder) -> None:
    responder.delay = DELAY
    client = otpcli.Client(port=responder.port, site=SITE, key=KEY)
    results: list[otpcli.Result] = []
    thread = threading.Thread(
        target=lambda: results.append(client.addsvc_check(code_text="SVC", value_text="1")))
    thread.start()
    # Once the service has the frame, the request holds the client.
    deadline = time.monotonic() + 5
    while not responder.frames and time.monotonic() < deadline:
        time.sleep(0.01)
    started = time.monotonic()
    client.close()
    assert time.monotonic() - started > DELAY / 2
    thread.join(10)
    assert results and results[0].code == "0000"
    assert client.closed
