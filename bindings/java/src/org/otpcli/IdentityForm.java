package org.otpcli;

/** How a request names its subscriber. */
public enum IdentityForm {
    /** A 13-digit resident registration number: its check digit is tested, then it is hashed. */
    NUMBER(0),
    /** The 40-character identity text that {@link OtpClient#hashValue} returns for a number. */
    IDENTITY_TEXT(1),
    /** Any text, hashed without the number check. */
    UNCHECKED(2);

    private final int value;

    IdentityForm(int value) {
        this.value = value;
    }

    /** The value the library's C interface takes. */
    int value() {
        return value;
    }
}
