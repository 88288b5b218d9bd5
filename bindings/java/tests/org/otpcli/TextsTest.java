package org.otpcli;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.ByteBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.StandardCharsets;
import java.util.Random;
import org.junit.jupiter.api.Test;

/** The binding's own UTF-8 writer and checker against the JDK's. Needs no native library. */
class TextsTest {
    private static final char[] ALPHABET = {
        'a', '7', ' ', '\u00E9', '\u07FF', '\u0800', '\uAC00', '\uD7A3', '\uFFFD', '\uFFFF',
        '\uD83D', '\uDE00', '\uD800', '\uDFFF'
    };

    @Test
    void encodeWritesWhatStringGetBytesWrites() {
        final Random random = new Random(14);
        for (int n = 0; n < 5000; ++n) {
            final char[] text = new char[random.nextInt(12)];
            for (int i = 0; i < text.length; ++i) {
                text[i] = ALPHABET[random.nextInt(ALPHABET.length)];
            }
            final String s = new String(text);
            // The JDK writes an unpaired surrogate as '?', as the binding does.
            assertArrayEquals(s.getBytes(StandardCharsets.UTF_8), Texts.encode(s), s);
            assertArrayEquals(s.getBytes(StandardCharsets.UTF_8), Texts.encode(text), s);
        }
    }

    @Test
    void wellFormedAgreesWithTheJdksStrictDecoder() {
        final Random random = new Random(14);
        final int[] bytes = {0x41, 0x7F, 0x80, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0, 0xA0, 0xED, 0x9F,
            0xEF, 0xF0, 0x90, 0xF4, 0x8F, 0xF5, 0xFF};
        for (int n = 0; n < 20000; ++n) {
            final byte[] b = new byte[random.nextInt(6)];
            for (int i = 0; i < b.length; ++i) {
                b[i] = (byte) bytes[random.nextInt(bytes.length)];
            }
            boolean strict = true;
            try {
                StandardCharsets.UTF_8.newDecoder().decode(ByteBuffer.wrap(b));
            } catch (CharacterCodingException e) {
                strict = false;
            }
            assertEquals(strict, Texts.wellFormed(b), java.util.HexFormat.of().formatHex(b));
        }
    }
}
