package org.otpcli;

/** Authentication level of {@link OtpClient#authenticate}. */
public enum AuthLevel {
    LEVEL_1(1),
    LEVEL_2(2);

    private final int value;

    AuthLevel(int value) {
        this.value = value;
    }

    int value() {
        return value;
    }
}
