package org.otpcli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.net.InetAddress;
import java.net.ServerSocket;
import java.util.List;
import java.util.function.Consumer;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;

/** Each kind of failure, with its class, code and message. */
class ErrorsTest extends WithOtpd {
    private static final String NUMBER = "8505031234565";

    @AfterEach
    void restoreHosts() {
        OtpClient.setServerHosts("127.0.0.1", "127.0.0.1");
    }

    private record Case(String name, Class<? extends OtpException> kind, String code,
            String message, Consumer<OtpClient> call) {}

    @Test
    void argumentErrorsOfTheRequests() {
        final List<Case> cases = List.of(
                new Case("null identity", OtpArgumentException.class, "P001",
                        "입력값 중 널이 있습니다.", c -> c.join(null, IdentityForm.NUMBER)),
                new Case("null value text", OtpArgumentException.class, "P001",
                        "입력값 중 널이 있습니다.", c -> c.issue(NUMBER, "SMS", null)),
                new Case("OTP of eight digits", OtpArgumentException.class, "P002",
                        "OTP값은 7자리 이하의 숫자이어야 합니다.", c -> c.authenticate(
                                NUMBER, IdentityForm.NUMBER, 10_000_000, AuthLevel.LEVEL_1, null)),
                new Case("wrong check digit", OtpArgumentException.class, "P003",
                        "주민등록번호 형식 오류.", c -> c.join("8505031234566", IdentityForm.NUMBER)),
                new Case("identity text of 13 bytes", OtpArgumentException.class, "P003",
                        "입력데이터가 잘못 되었습니다.",
                        c -> c.reissue(NUMBER, IdentityForm.IDENTITY_TEXT, "SMS", "010")),
                new Case("NUL inside the number", OtpArgumentException.class, "J001",
                        "a text argument holds the NUL character",
                        c -> c.join("8505031234565\0x", IdentityForm.NUMBER)),
                new Case("NUL in an optional text", OtpArgumentException.class, "J001",
                        "a text argument holds the NUL character",
                        c -> c.authenticate(NUMBER, IdentityForm.NUMBER, 1, AuthLevel.LEVEL_1,
                                "a\0b")));
        try (OtpClient client = otpd.client()) {
            for (Case c : cases) {
                expect(c.name, c.kind, c.code, c.message, () -> c.call.accept(client));
            }
        }
    }

    @Test
    void argumentErrorsOfTheConfiguration() {
        final String site33 = "S".repeat(33);
        expect("site of 33 bytes", OtpArgumentException.class, "J002", null,
                () -> OtpClient.builder().port(1).site(site33).keyMaterial("k").build());
        // 17 Korean characters are 34 bytes of code page 949.
        expect("key of 17 Korean characters", OtpArgumentException.class, "J002", null,
                () -> OtpClient.builder().port(1).site("S").keyMaterial(Otpd.KOREAN_KEY + "가")
                        .build());
        expect("key of malformed UTF-8", OtpArgumentException.class, "J002", null,
                () -> OtpClient.builder().port(1).site("S").keyMaterial(new byte[] {(byte) 0xC3})
                        .build());
        for (int port : new int[] {-1, 65536, 70000}) {
            expect("port " + port, OtpArgumentException.class, "J002", null,
                    () -> OtpClient.builder().port(port).site("S").keyMaterial("k").build());
        }
        expect("no key material", OtpArgumentException.class, "P001", null,
                () -> OtpClient.builder().port(1).site("S").build());
        expect("no site", OtpArgumentException.class, "P001", null,
                () -> OtpClient.builder().port(1).keyMaterial(new char[] {'k'}).build());
        expect("NUL in the key", OtpArgumentException.class, "J001", null,
                () -> OtpClient.builder().keyMaterial(new byte[] {'k', 0, 'm'}));
        expect("empty host name", OtpArgumentException.class, "J002", null,
                () -> OtpClient.setServerHosts("", "127.0.0.1"));
        expect("host name of 256 bytes", OtpArgumentException.class, "J002", null,
                () -> OtpClient.setServerHosts("127.0.0.1", "h".repeat(256)));
        expect("null host name", OtpArgumentException.class, "P001", null,
                () -> OtpClient.setServerHosts(null, "127.0.0.1"));
        expect("null text to hash", OtpArgumentException.class, "P001", null,
                () -> OtpClient.hashValue(null));
        // The largest configuration passes.
        OtpClient.builder().port(65535).site("S".repeat(32)).keyMaterial(Otpd.KOREAN_KEY).build()
                .close();
    }

    @Test
    void noServerListening() throws Exception {
        final int closedPort;
        try (ServerSocket s = new ServerSocket(0, 1, InetAddress.getByName("127.0.0.1"))) {
            closedPort = s.getLocalPort();
        }
        try (OtpClient client = OtpClient.builder().port(closedPort).site(Otpd.SITE)
                .keyMaterial(Otpd.KEY).connectTimeout(1).build()) {
            expect("connection refused", OtpConnectionException.class, "N001",
                    "서버에 접속할 수 없습니다.", () -> client.join(NUMBER, IdentityForm.NUMBER));
        }
    }

    @Test
    void exchangesThatBreakOff() throws Exception {
        try (StubService stub = new StubService(null, 0);
                OtpClient client = OtpClient.builder().port(stub.port).site(Otpd.SITE)
                        .keyMaterial(Otpd.KEY).build()) {
            expect("closed without a reply", OtpConnectionException.class, "N002",
                    "서버와 통신 중 IO에러가 발생하였습니다.",
                    () -> client.checkAdditionalService("ADD", "010"));
        }
        try (StubService stub = new StubService(StubService.NO_CODE, 0);
                OtpClient client = OtpClient.builder().port(stub.port).site(Otpd.SITE)
                        .keyMaterial(Otpd.KEY).build()) {
            expect("a reply without a result code", OtpException.class, "Z001", "그외 오류",
                    () -> client.checkAdditionalService("ADD", "010"));
        }
    }

    @Test
    void serviceRefusalsCarryTheServicesCodeAndKoreanMessage() {
        try (OtpClient client = otpd.client();
                OtpClient unknownSite = OtpClient.builder().port(otpd.port).site("NOSUCHSITE")
                        .keyMaterial(Otpd.KEY).build()) {
            expect("not a member", OtpRefusedException.class, "S101", "가입되지 않은 사용자입니다.",
                    () -> client.closeMembership(Numbers.fresh(), IdentityForm.NUMBER));
            expect("unknown site", OtpRefusedException.class, "S201", "등록되지 않은 사이트입니다.",
                    () -> unknownSite.checkAdditionalService("ADD", "010"));
        }
    }

    @Test
    void failOverToTheBackupAndTheHostOfTheLastSuccess() {
        // Nothing listens on 127.0.0.3: the library moves to the backup after failed connects.
        OtpClient.setServerHosts("127.0.0.3", "127.0.0.1");
        try (OtpClient client = otpd.client()) {
            assertEquals("127.0.0.3", client.host());
            int refused = 0;
            boolean answered = false;
            for (int i = 0; i < 10 && !answered; ++i) {
                try {
                    client.checkAdditionalService("ADD", "010");
                    answered = true;
                } catch (OtpConnectionException e) {
                    assertEquals("N001", e.getCode());
                    ++refused;
                }
            }
            assertTrue(answered, "the backup never answered");
            assertTrue(refused > 0, "the primary answered");
            assertEquals("127.0.0.1", client.host());
        }
    }

    /** call throws exactly kind, with code, and with message unless it is null. */
    private static void expect(String name, Class<? extends OtpException> kind, String code,
            String message, Executable call) {
        final OtpException e = assertThrows(OtpException.class, call, name);
        assertEquals(kind, e.getClass(), name);
        assertEquals(code, e.getCode(), name);
        if (message != null) {
            assertEquals(message, e.getResultMessage(), name);
        }
        assertEquals(e.getCode() + ": " + e.getResultMessage(), e.getMessage(), name);
    }
}
