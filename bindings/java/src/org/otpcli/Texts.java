package org.otpcli;

import java.nio.CharBuffer;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;

/**
 * Texts as they cross to the library: standard UTF-8 in byte arrays that the binding owns and wipes
 * (the JNI string functions speak modified UTF-8, which differs for NUL and for characters beyond
 * U+FFFF).
 */
final class Texts {
    private Texts() {}

    /**
     * The UTF-8 bytes of text in an array of exactly their length, written directly so that no
     * other copy is left behind; null for null. An unpaired surrogate becomes '?', as the code page
     * conversion would write it; a NUL character is refused, since the library would cut the text
     * there.
     */
    static byte[] encode(CharSequence text) {
        if (text == null) {
            return null;
        }
        final int n = text.length();
        int size = 0;
        for (int i = 0; i < n; ++i) {
            final char c = text.charAt(i);
            if (c == 0) {
                throw new OtpArgumentException(
                        OtpException.TEXT_WITH_NUL, "a text argument holds the NUL character");
            }
            if (c < 0x80) {
                size += 1;
            } else if (c < 0x800) {
                size += 2;
            } else if (isPairAt(text, i)) {
                size += 4;
                ++i;
            } else if (Character.isSurrogate(c)) {
                size += 1;
            } else {
                size += 3;
            }
        }
        final byte[] out = new byte[size];
        int at = 0;
        for (int i = 0; i < n; ++i) {
            final char c = text.charAt(i);
            if (c < 0x80) {
                out[at++] = (byte) c;
            } else if (c < 0x800) {
                out[at++] = (byte) (0xC0 | (c >> 6));
                out[at++] = (byte) (0x80 | (c & 0x3F));
            } else if (isPairAt(text, i)) {
                final int cp = Character.toCodePoint(c, text.charAt(++i));
                out[at++] = (byte) (0xF0 | (cp >> 18));
                out[at++] = (byte) (0x80 | ((cp >> 12) & 0x3F));
                out[at++] = (byte) (0x80 | ((cp >> 6) & 0x3F));
                out[at++] = (byte) (0x80 | (cp & 0x3F));
            } else if (Character.isSurrogate(c)) {
                out[at++] = (byte) '?';
            } else {
                out[at++] = (byte) (0xE0 | (c >> 12));
                out[at++] = (byte) (0x80 | ((c >> 6) & 0x3F));
                out[at++] = (byte) (0x80 | (c & 0x3F));
            }
        }
        return out;
    }

    /** encode over the caller's array, without making a String of it. */
    static byte[] encode(char[] text) {
        return text == null ? null : encode(CharBuffer.wrap(text));
    }

    /** A copy of UTF-8 bytes, refused when they hold NUL or are not well-formed UTF-8. */
    static byte[] copy(byte[] utf8) {
        if (utf8 == null) {
            return null;
        }
        for (byte b : utf8) {
            if (b == 0) {
                throw new OtpArgumentException(
                        OtpException.TEXT_WITH_NUL, "a text argument holds the NUL character");
            }
        }
        if (!wellFormed(utf8)) {
            throw new OtpArgumentException(
                    OtpException.VALUE_REFUSED, "a text argument is not well-formed UTF-8");
        }
        return utf8.clone();
    }

    /** Well-formed UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF. */
    static boolean wellFormed(byte[] utf8) {
        int i = 0;
        while (i < utf8.length) {
            final int lead = utf8[i] & 0xFF;
            final int extra;
            int min;
            int max = 0xBF;
            if (lead < 0x80) {
                ++i;
                continue;
            } else if (lead >= 0xC2 && lead <= 0xDF) {
                extra = 1;
                min = 0x80;
            } else if (lead >= 0xE0 && lead <= 0xEF) {
                extra = 2;
                min = lead == 0xE0 ? 0xA0 : 0x80;
                max = lead == 0xED ? 0x9F : 0xBF;
            } else if (lead >= 0xF0 && lead <= 0xF4) {
                extra = 3;
                min = lead == 0xF0 ? 0x90 : 0x80;
                max = lead == 0xF4 ? 0x8F : 0xBF;
            } else {
                return false;
            }
            if (i + extra >= utf8.length) {
                return false;
            }
            for (int k = 1; k <= extra; ++k) {
                final int next = utf8[i + k] & 0xFF;
                if (next < min || next > max) {
                    return false;
                }
                min = 0x80;
                max = 0xBF;
            }
            i += extra + 1;
        }
        return true;
    }

    static String decode(byte[] utf8) {
        return utf8 == null ? "" : new String(utf8, StandardCharsets.UTF_8);
    }

    /** Overwrites each array with zeros; nulls are skipped. */
    static void wipe(byte[]... arrays) {
        for (byte[] a : arrays) {
            if (a != null) {
                Arrays.fill(a, (byte) 0);
            }
        }
    }

    private static boolean isPairAt(CharSequence text, int i) {
        return Character.isHighSurrogate(text.charAt(i))
                && i + 1 < text.length()
                && Character.isLowSurrogate(text.charAt(i + 1));
    }
}
