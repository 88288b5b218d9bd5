"""Each exception class: what raises it, and what it carries."""

from __future__ import annotations

import pickle
import socket
from collections.abc import Callable

import pytest

import otpcli
from otpcli import IdentityForm
from otpcli._errors import error_for

from conftest import KEY, NUMBER, SITE, Otpd, rrn
from responder import Responder, reply

E_FAIL = otpcli._native.E_FAIL
E_INVALIDARG = otpcli._native.E_INVALIDARG
E_POINTER = otpcli._native.E_POINTER

NULL = "입력값 중 널이 있습니다."
OTP_DIGITS = "OTP값은 7자리 이하의 숫자이어야 합니다."
BAD_NUMBER = "주민등록번호 형식 오류."
BAD_TEXT = "입력데이터가 잘못 되었습니다."
NO_CENTURY = "주민번호 형식 오류"

Call = Callable[[otpcli.Client], object]


@pytest.mark.parametrize("call, code, message", [
    (lambda c: c.join(None), "P001", NULL),
    (lambda c: c.issue(NUMBER, code_text=None, value_text="1"), "P001", NULL),
    (lambda c: c.addsvc_check(code_text="SVC", value_text=None), "P001", NULL),
    (lambda c: c.auth(None, otp=10_000_000), "P001", NULL),
    (lambda c: c.auth(NUMBER, otp=10_000_000), "P002", OTP_DIGITS),
    (lambda c: c.auth(NUMBER, otp=2**40), "P002", OTP_DIGITS),
    (lambda c: c.auth(NUMBER, otp=-1), "P002", OTP_DIGITS),
    (lambda c: c.join(NUMBER[:-1] + str((int(NUMBER[-1]) + 1) % 10)), "P003", BAD_NUMBER),
    (lambda c: c.check("12345", code_text="SMS", value_text="1"), "P003", BAD_NUMBER),
    (lambda c: c.reissue("a" * 39, code_text="SMS", value_text="1",
                         identity_form=IdentityForm.TEXT), "P003", BAD_TEXT),
    (lambda c: c.issue(rrn("850503523456"), code_text="SMS", value_text="1"), "P003", NO_CENTURY),
])
def test_library_refuses_arguments(otpd: Otpd, client: otpcli.Client, call: Call, code: str,
                                   message: str) -> None:
    with pytest.raises(otpcli.ArgumentError) as refused:
        call(client)
    assert (refused.value.code, refused.value.message, refused.value.status) == (
        code, message, E_FAIL)
    assert isinstance(refused.value, ValueError)
    assert otpd.requests_served() == 0


@pytest.mark.parametrize("call, why", [
    (lambda c: c.join("850503\x001234565"), "user_id contains a NUL character"),
    (lambda c: c.addsvc_check(code_text="SVC", value_text="\ud800"),
     "value_text contains an unpaired surrogate"),
    (lambda c: c.auth(NUMBER, otp=1, extra_text="a\x00"), "extra_text contains a NUL"),
    (lambda c: c.join(NUMBER, identity_form=2**31), "identity_form must fit in 32 bits"),
    (lambda c: c.auth(NUMBER, otp=1, auth_level=-(2**31) - 1), "auth_level must fit in 32 bits"),
])
def test_binding_refuses_arguments(otpd: Otpd, client: otpcli.Client, call: Call,
                                   why: str) -> None:
    with pytest.raises(otpcli.ArgumentError) as refused:
        call(client)
    assert (refused.value.code, refused.value.status) == ("", E_INVALIDARG)
    assert refused.value.message.startswith(why)
    assert otpd.requests_served() == 0


@pytest.mark.parametrize("changes, why, status", [
    ({"site": "가" * 17}, "site is not well-formed UTF-8 or is over 32 bytes", E_INVALIDARG),
    ({"key": "k" * 33}, "key is not well-formed UTF-8 or is over 32 bytes", E_INVALIDARG),
    ({"key": b"\xff\xfe"}, "key is not well-formed UTF-8", E_INVALIDARG),
    ({"key": bytearray(b"ab\x00c")}, "key contains a NUL character", E_INVALIDARG),
    ({"site": None}, "site is None", E_POINTER),
    ({"key": None}, "key is None", E_POINTER),
    ({"port": 0}, "port must be 1 to 65535", E_INVALIDARG),
    ({"port": 65536}, "port must be 1 to 65535", E_INVALIDARG),
    ({"connect_timeout": 2**31}, "connect_timeout must fit in 32 bits", E_INVALIDARG),
])
def test_configuration_refused(changes: dict[str, object], why: str, status: int) -> None:
    arguments: dict[str, object] = {"port": 9100, "site": SITE, "key": KEY, **changes}
    with pytest.raises(otpcli.ArgumentError) as refused:
        otpcli.Client(**arguments)  # type: ignore[arg-type]
    assert (refused.value.code, refused.value.status) == ("", status)
    assert refused.value.message.startswith(why)
    # The refusal never shows the key.
    assert KEY not in str(refused.value) and "k" * 33 not in str(refused.value)


@pytest.mark.parametrize("primary, backup", [
    ("", "127.0.0.1"), ("127.0.0.1", "h" * 256), (None, "127.0.0.1"), ("a\x00b", "127.0.0.1"),
])
def test_server_hosts_refused(primary: str, backup: str) -> None:
    with pytest.raises(otpcli.ArgumentError) as refused:
        otpcli.set_server_hosts(primary, backup)
    assert refused.value.code == ""
    # A refused pair leaves the hosts as they were.
    with otpcli.Client(port=9100, site=SITE, key=KEY) as client:
        assert client.host == "127.0.0.1"


def test_wrong_types_are_type_errors(client: otpcli.Client) -> None:
    with pytest.raises(TypeError, match="user_id must be str"):
        client.join(NUMBER.encode())  # type: ignore[arg-type]
    with pytest.raises(TypeError, match="site must be str"):
        otpcli.Client(port=9100, site=b"SITE01", key=KEY)  # type: ignore[arg-type]
    with pytest.raises(TypeError, match="key must be str, bytes or bytearray"):
        otpcli.Client(port=9100, site=SITE, key=12345)  # type: ignore[arg-type]
    with pytest.raises(TypeError):
        client.auth(NUMBER, otp="123456")  # type: ignore[arg-type]
    with pytest.raises(TypeError, match="text must be str"):
        otpcli.hash_value(b"abc")  # type: ignore[arg-type]


def test_network_errors(responder: Responder) -> None:
    with socket.create_server(("127.0.0.1", 0)) as probe:
        closed_port = probe.getsockname()[1]
    with otpcli.Client(port=closed_port, site=SITE, key=KEY, connect_timeout=1) as client:
        with pytest.raises(otpcli.NetworkError) as refused:
            client.join(NUMBER)
    assert (refused.value.code, refused.value.message) == ("N001", "서버에 접속할 수 없습니다.")
    assert isinstance(refused.value, ConnectionError) and isinstance(refused.value, OSError)

    responder.answer = lambda frame: None  # hangs up without a reply
    with otpcli.Client(port=responder.port, site=SITE, key=KEY) as client:
        with pytest.raises(otpcli.NetworkError) as broken:
            client.join(NUMBER)
    assert (broken.value.code, broken.value.message) == (
        "N002", "서버와 통신 중 IO에러가 발생하였습니다.")


def test_service_errors(otpd: Otpd) -> None:
    with otpcli.Client(port=otpd.port, site="NOSITE", key=KEY) as client:
        with pytest.raises(otpcli.ServiceError) as unknown:
            client.join(NUMBER)
    assert (unknown.value.code, unknown.value.message) == ("S201", "등록되지 않은 사이트입니다.")
    # A wrong key seals what the service cannot open.
    with otpcli.Client(port=otpd.port, site=SITE, key="another key") as client:
        with pytest.raises(otpcli.ServiceError) as sealed:
            client.join(NUMBER)
    assert sealed.value.code == "S202"
    assert str(sealed.value) == "S202 사용자 정보를 복호화할 수 없습니다."
    assert sealed.value.status == E_FAIL


def test_internal_error_for_a_reply_without_a_code(responder: Responder) -> None:
    responder.answer = lambda frame: b"00010" + b" " * 10
    with otpcli.Client(port=responder.port, site=SITE, key=KEY) as client:
        with pytest.raises(otpcli.InternalError) as unreadable:
            client.join(NUMBER)
    assert (unreadable.value.code, unreadable.value.message) == ("Z001", "그외 오류")


@pytest.mark.parametrize("code, kind", [
    ("P001", otpcli.ArgumentError), ("P002", otpcli.ArgumentError),
    ("P003", otpcli.ArgumentError), ("N001", otpcli.NetworkError),
    ("N002", otpcli.NetworkError), ("A001", otpcli.InternalError),
    ("C001", otpcli.InternalError), ("E001", otpcli.InternalError),
    ("Z001", otpcli.InternalError), ("S101", otpcli.ServiceError), ("P123", otpcli.ServiceError),
])
def test_classes_by_code(code: str, kind: type[otpcli.OtpError]) -> None:
    # The library's own codes by kind; any other code is the service's, even
    # one that looks like the library's.
    error = error_for(E_FAIL, code, "message")
    assert type(error) is kind and isinstance(error, otpcli.OtpError)
    assert error_for(E_FAIL, "", "message").__class__ is otpcli.InternalError
    assert (error.code, error.message) == (code, "message")
    copy = pickle.loads(pickle.dumps(error))
    assert (type(copy), copy.code, copy.message, copy.status) == (kind, code, "message", E_FAIL)


def test_service_message_passes_through(responder: Responder) -> None:
    responder.answer = lambda frame: reply("X999", "서비스 점검 중입니다")
    with otpcli.Client(port=responder.port, site=SITE, key=KEY) as client:
        with pytest.raises(otpcli.ServiceError) as refused:
            client.addsvc_check(code_text="SVC", value_text="1")
    assert (refused.value.code, refused.value.message) == ("X999", "서비스 점검 중입니다")
