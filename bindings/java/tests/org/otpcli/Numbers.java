package org.otpcli;

import java.util.concurrent.atomic.AtomicInteger;

/** Resident registration numbers with the right check digit, a new one per call. */
final class Numbers {
    private static final int[] WEIGHTS = {2, 3, 4, 5, 6, 7, 8, 9, 2, 3, 4, 5};
    private static final AtomicInteger NEXT = new AtomicInteger();

    private Numbers() {}

    /** The 12 digits followed by their check digit. */
    static String withCheckDigit(String twelveDigits) {
        int sum = 0;
        for (int i = 0; i < 12; ++i) {
            sum += (twelveDigits.charAt(i) - '0') * WEIGHTS[i];
        }
        return twelveDigits + (11 - sum % 11) % 10;
    }

    /** A fresh valid number of a man born on 3 May 1985. */
    static String fresh() {
        return withCheckDigit(String.format("8505031%05d", NEXT.getAndIncrement() % 100000));
    }
}
