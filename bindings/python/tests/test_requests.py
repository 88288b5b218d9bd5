"""Every request against a real otpd, and the client's configuration."""

from __future__ import annotations

import copy
import hashlib
import pickle

import pytest

import otpcli
from otpcli import AuthLevel, IdentityForm, Result

from conftest import KEY, NUMBER, SITE, Otpd

AVAILABLE = "서비스가 가능합니다."


def test_membership_and_service_checks(client: otpcli.Client) -> None:
    assert client.join(NUMBER) == Result("0000", "", "127.0.0.1")
    assert client.check(NUMBER, code_text="SMS", value_text="01012345678") == Result(
        "0000", AVAILABLE, "127.0.0.1")
    assert client.addsvc_check(code_text="SVC", value_text="anything").message == AVAILABLE
    with pytest.raises(otpcli.ServiceError) as joined:
        client.join(NUMBER)
    assert (joined.value.code, joined.value.message) == ("S102", "이미 가입된 사용자입니다.")
    assert client.close_membership(NUMBER).code == "0000"
    with pytest.raises(otpcli.ServiceError) as gone:
        client.check(NUMBER, code_text="SMS", value_text="01012345678")
    assert (gone.value.code, gone.value.message) == ("S101", "가입되지 않은 사용자입니다.")


def test_issue_and_auth(otpd: Otpd, client: otpcli.Client) -> None:
    identity = otpcli.hash_value(NUMBER)
    client.join(NUMBER)
    assert client.issue(NUMBER, code_text="SMS", value_text="01012345678").code == "0000"
    assert otpd.outbox_lines()[-1][1:] == [identity, "SMS", "01012345678"]
    otp = otpd.last_otp(identity)
    with pytest.raises(otpcli.ServiceError) as wrong:
        client.auth(NUMBER, otp=(otp + 1) % 1_000_000)
    assert wrong.value.code == "S103"
    assert client.auth(NUMBER, otp=otp, auth_level=AuthLevel.LEVEL_2, extra_text="web") == Result(
        "0000", "", "127.0.0.1")
    with pytest.raises(otpcli.ServiceError) as used:
        client.auth(NUMBER, otp=otp)
    assert used.value.code == "S104"


def test_lock_reset_and_reissue(otpd: Otpd, client: otpcli.Client) -> None:
    identity = otpcli.hash_value(NUMBER)
    client.join(NUMBER)
    client.issue(NUMBER, code_text="SMS", value_text="01012345678")
    otp = otpd.last_otp(identity)
    for _ in range(5):
        with pytest.raises(otpcli.ServiceError):
            client.auth(NUMBER, otp=(otp + 1) % 1_000_000)
    with pytest.raises(otpcli.ServiceError) as locked:
        client.reissue(NUMBER, code_text="SMS", value_text="01012345678")
    assert locked.value.code == "S106"
    assert client.init_auth_err(NUMBER).code == "0000"
    client.reissue(NUMBER, code_text="EML", value_text="a@b.example")
    assert otpd.outbox_lines()[-1][1:] == [identity, "EML", "a@b.example"]
    assert client.auth(NUMBER, otp=otpd.last_otp(identity)).code == "0000"


def test_identity_forms(otpd: Otpd, client: otpcli.Client) -> None:
    # The identity text stands for the number in every request that takes a form.
    text = otpcli.hash_value(NUMBER)
    client.join(text, identity_form=IdentityForm.TEXT)
    client.check(text, code_text="SMS", value_text="1", identity_form=IdentityForm.TEXT)
    client.check(NUMBER, code_text="SMS", value_text="1")
    client.reissue(text, code_text="SMS", value_text="1", identity_form=IdentityForm.TEXT)
    client.auth(text, otp=otpd.last_otp(text), identity_form=IdentityForm.TEXT)
    client.init_auth_err(text, identity_form=IdentityForm.TEXT)
    client.close_membership(text, identity_form=IdentityForm.TEXT)
    with pytest.raises(otpcli.ServiceError):
        client.check(NUMBER, code_text="SMS", value_text="1")
    # UNCHECKED hashes any text; plain ints are taken as forms too.
    client.join("not a number", identity_form=IdentityForm.UNCHECKED)
    client.close_membership(otpcli.hash_value("not a number"), identity_form=1)


def test_hash_value() -> None:
    assert otpcli.hash_value("abc") == "a9993e364706816aba3e25717850c26c9cd0d89d"
    assert otpcli.hash_value(NUMBER) == hashlib.sha1(NUMBER.encode()).hexdigest()
    # Code page 949 bytes, with '?' for a character it lacks.
    assert otpcli.hash_value("홍길동") == hashlib.sha1("홍길동".encode("cp949")).hexdigest()
    assert otpcli.hash_value("\N{GRINNING FACE}") == hashlib.sha1(b"?").hexdigest()
    assert otpcli.hash_value("") == hashlib.sha1(b"").hexdigest()


def test_client_configuration(otpd: Otpd) -> None:
    client = otpcli.Client(port=otpd.port, site=SITE, key=KEY)
    assert (client.port, client.site, client.connect_timeout) == (otpd.port, SITE, 5)
    client.connect_timeout = 1
    assert client.connect_timeout == 1
    assert client.host == "127.0.0.1"
    assert KEY not in repr(client) and SITE in repr(client)
    for duplicate in (copy.copy, copy.deepcopy, pickle.dumps):
        with pytest.raises(TypeError):
            duplicate(client)
    client.close()
    assert client.closed and "closed" in repr(client)
    with pytest.raises(ValueError, match="closed"):
        client.join(NUMBER)
    client.close()


def test_key_as_bytes_and_bytearray(otpd: Otpd) -> None:
    for key in (KEY.encode(), bytearray(KEY.encode()), memoryview(KEY.encode())):
        with otpcli.Client(port=otpd.port, site=SITE, key=key) as client:
            client.join(otpcli.hash_value(repr(key)), identity_form=IdentityForm.TEXT)


def test_server_hosts_and_fail_over(otpd: Otpd, client: otpcli.Client) -> None:
    # Nothing listens on 127.0.0.3: five refused connects, then the backup.
    otpcli.set_server_hosts("127.0.0.3", "127.0.0.1")
    assert client.host == "127.0.0.3"
    for _ in range(5):
        with pytest.raises(otpcli.NetworkError) as refused:
            client.join(NUMBER)
        assert refused.value.code == "N001"
    assert client.join(NUMBER).host == "127.0.0.1"
    assert client.host == "127.0.0.1"
    assert otpd.requests_served() == 1
