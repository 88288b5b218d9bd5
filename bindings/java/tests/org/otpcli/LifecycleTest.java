package org.otpcli;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.List;
import java.util.function.Consumer;
import org.junit.jupiter.api.Test;

/** close(), the Cleaner, and the builder's copy of the key material. Needs no service. */
class LifecycleTest {
    private static OtpClient idleClient() {
        return OtpClient.builder().port(1).site("S").keyMaterial("k").build();
    }

    @Test
    void aClosedClientRefusesEveryCall() {
        final OtpClient client = idleClient();
        client.close();
        client.close();  // closing twice is harmless
        final List<Consumer<OtpClient>> calls = List.of(
                c -> c.issue("8505031234565", "SMS", "010"),
                c -> c.reissue("8505031234565", IdentityForm.NUMBER, "SMS", "010"),
                c -> c.check("8505031234565", IdentityForm.NUMBER, "SMS", "010"),
                c -> c.checkAdditionalService("SMS", "010"),
                c -> c.authenticate("8505031234565", IdentityForm.NUMBER, 1, AuthLevel.LEVEL_1,
                        null),
                c -> c.join("8505031234565", IdentityForm.NUMBER),
                c -> c.closeMembership("8505031234565", IdentityForm.NUMBER),
                c -> c.resetAuthErrors("8505031234565", IdentityForm.NUMBER),
                OtpClient::host,
                OtpClient::port,
                OtpClient::connectTimeout);
        for (Consumer<OtpClient> call : calls) {
            assertThrows(IllegalStateException.class, () -> call.accept(client));
        }
    }

    @Test
    void closeReleasesTheNativeClient() {
        final int before = OtpClient.Handle.LIVE.get();
        try (OtpClient a = idleClient(); OtpClient b = idleClient()) {
            assertEquals(before + 2, OtpClient.Handle.LIVE.get());
            assertEquals(1, a.port());
            assertEquals(1, b.port());
        }
        assertEquals(before, OtpClient.Handle.LIVE.get());
        // A client whose configuration is refused is released at once.
        assertThrows(OtpArgumentException.class,
                () -> OtpClient.builder().port(1).site("S".repeat(33)).keyMaterial("k").build());
        assertEquals(before, OtpClient.Handle.LIVE.get());
    }

    @Test
    void theCleanerReleasesClientsNobodyClosed() throws Exception {
        final int before = OtpClient.Handle.LIVE.get();
        abandonClients(200);
        final long deadline = System.nanoTime() + 20_000_000_000L;
        while (OtpClient.Handle.LIVE.get() > before && System.nanoTime() < deadline) {
            System.gc();
            Thread.sleep(50);
        }
        assertEquals(before, OtpClient.Handle.LIVE.get(), "native clients left unreleased");
    }

    private static void abandonClients(int count) {
        for (int i = 0; i < count; ++i) {
            idleClient().port();
        }
    }

    @Test
    void manyClientsComeAndGo() {
        final int before = OtpClient.Handle.LIVE.get();
        for (int i = 0; i < 20_000; ++i) {
            try (OtpClient client = idleClient()) {
                // A failure before anything is sent: its code and message cross JNI.
                final OtpArgumentException e = assertThrows(OtpArgumentException.class,
                        () -> client.join("123", IdentityForm.NUMBER));
                assertEquals("P003", e.getCode());
                assertEquals(40, OtpClient.hashValue("8505031234565").length());
            }
        }
        assertEquals(before, OtpClient.Handle.LIVE.get());
    }

    @Test
    void theBuilderWipesItsCopyOfTheKeyMaterial() {
        final char[] key = "secret key".toCharArray();
        final OtpClient.Builder builder = OtpClient.builder().port(1).site("S").keyMaterial(key);
        final byte[] copy = builder.keyCopy();
        assertArrayEquals("secret key".getBytes(java.nio.charset.StandardCharsets.UTF_8), copy);
        builder.build().close();
        assertArrayEquals(new byte[copy.length], copy);
        assertNull(builder.keyCopy());
        assertArrayEquals("secret key".toCharArray(), key);

        // Replaced and refused copies are wiped too.
        final OtpClient.Builder again = OtpClient.builder().site("S".repeat(33)).keyMaterial("one");
        final byte[] first = again.keyCopy();
        again.keyMaterial(new byte[] {'t', 'w', 'o'});
        assertArrayEquals(new byte[3], first);
        final byte[] second = again.keyCopy();
        assertThrows(OtpArgumentException.class, again::build);
        assertArrayEquals(new byte[3], second);
        // Each build needs the key material again.
        final OtpArgumentException e = assertThrows(OtpArgumentException.class,
                () -> again.site("S").build());
        assertEquals("P001", e.getCode());
    }
}
