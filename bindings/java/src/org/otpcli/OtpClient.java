package org.otpcli;

import java.lang.ref.Cleaner;
import java.lang.ref.Reference;
import java.nio.file.Path;
import java.util.Objects;
import java.util.concurrent.atomic.AtomicInteger;

/**
 * A client of the OTP service: one native client of the otpcli library, configured once by its
 * {@link Builder}, with one method per request.
 *
 * <pre>{@code
 * try (OtpClient client = OtpClient.builder()
 *         .port(9100).site("MYSITE").keyMaterial(key).build()) {
 *     client.authenticate("8505031234565", IdentityForm.NUMBER, 123456, AuthLevel.LEVEL_1, null);
 * } catch (OtpRefusedException e) {
 *     // the service said no: e.getCode(), e.getResultMessage()
 * }
 * }</pre>
 *
 * <p>A request returns normally when the service answered "0000" and throws an {@link
 * OtpException} otherwise. Text limits count bytes of code page 949 (a Korean character takes two);
 * a character that code page lacks is sent as '?'.
 *
 * <p>Threads: the requests of one client are serialised: a second thread waits until the first
 * one's request (and the reading of its result) is done. Clients are independent: many clients
 * on many threads run their requests in parallel. A web application keeps one client per thread
 * or a pool of them.
 *
 * <p>{@link #close()} releases the native client; a client that is never closed is released by a
 * {@link Cleaner} once it is unreachable. Any use of a closed client throws {@link
 * IllegalStateException}.
 */
public final class OtpClient implements AutoCloseable {
    /** Connect time limit of a new client, in one-second waits. */
    public static final int DEFAULT_CONNECT_TIMEOUT = 5;

    private static final Cleaner CLEANER = Cleaner.create();

    private final Object lock = new Object();
    private final Handle handle;
    private final Cleaner.Cleanable cleanable;

    /**
     * The native client, apart from the Java object so that the Cleaner can release it once the
     * object is unreachable. Released at most once.
     */
    static final class Handle implements Runnable {
        /** Native clients not yet released, for the tests. */
        static final AtomicInteger LIVE = new AtomicInteger();

        private long address;

        Handle(long address) {
            this.address = address;
            LIVE.incrementAndGet();
        }

        @Override
        public synchronized void run() {
            if (address != 0) {
                Native.destroy(address);
                address = 0;
                LIVE.decrementAndGet();
            }
        }

        synchronized long address() {
            if (address == 0) {
                throw new IllegalStateException("the OtpClient is closed");
            }
            return address;
        }
    }

    private OtpClient(int port, byte[] siteId, byte[] keyMaterial, int connectTimeout) {
        NativeLibrary.ensureLoaded();
        handle = new Handle(Native.create());
        cleanable = CLEANER.register(this, handle);
        boolean configured = false;
        try {
            final long h = handle.address();
            statusOnly(
                    Native.init(h, port, siteId, keyMaterial),
                    "the site identifier or the key material is over 32 bytes of code page 949,"
                            + " or not well-formed UTF-8");
            statusOnly(Native.setConnectTimeout(h, connectTimeout), "the library refused the timeout");
            configured = true;
        } finally {
            if (!configured) {
                cleanable.clean();
            }
        }
    }

    /** A builder for a client; port, site and key material are required. */
    public static Builder builder() {
        return new Builder();
    }

    /**
     * Loads libotpcli_jni from an absolute path, before the first client; without this call (or the
     * system property {@code org.otpcli.library}) it is loaded by name from {@code
     * java.library.path}. The library is loaded once per JVM: a second call with the same path does
     * nothing, one with another path throws {@link IllegalStateException}.
     */
    public static void loadLibrary(Path file) {
        NativeLibrary.load(Objects.requireNonNull(file, "file"));
    }

    /** The running library's version ("1.1.0"). */
    public static String libraryVersion() {
        NativeLibrary.ensureLoaded();
        return Texts.decode(Native.versionString());
    }

    /**
     * The 40-character lower-case SHA-1 hex text of text (converted to code page 949 first): the
     * identity text of a resident registration number, for {@link IdentityForm#IDENTITY_TEXT}.
     */
    public static String hashValue(String text) {
        NativeLibrary.ensureLoaded();
        if (text == null) {
            throw OtpException.of("P001", "the text to hash is null");
        }
        final byte[] utf8 = Texts.encode(text);
        try {
            final byte[] hash = Native.hashValue(utf8);
            if (hash == null) {
                throw OtpException.of(OtpException.VALUE_REFUSED, "the library refused the text");
            }
            return Texts.decode(hash);
        } finally {
            Texts.wipe(utf8);
        }
    }

    /**
     * Replaces the primary and backup server host names (host name or dotted IPv4 address) for the
     * whole process and returns to the primary. Empty names and names over 255 bytes are refused.
     */
    public static void setServerHosts(String primary, String backup) {
        NativeLibrary.ensureLoaded();
        if (primary == null || backup == null) {
            throw OtpException.of("P001", "a server host name is null");
        }
        statusOnly(
                Native.setServerHosts(Texts.encode(primary), Texts.encode(backup)),
                "a server host name is empty or over 255 bytes");
    }

    /** Asks the service to issue an OTP to the subscriber with this resident registration number. */
    public void issue(String number, String codeText, String valueText) {
        final byte[] u = Texts.encode(number);
        final byte[] c = Texts.encode(codeText);
        final byte[] v = Texts.encode(valueText);
        try {
            synchronized (lock) {
                final long h = handle.address();
                result(h, Native.issue(h, u, c, v));
            }
        } finally {
            Texts.wipe(u, c, v);
            Reference.reachabilityFence(this);
        }
    }

    /** Asks the service to issue the subscriber's OTP again. */
    public void reissue(String userId, IdentityForm form, String codeText, String valueText) {
        final int f = form.value();
        final byte[] u = Texts.encode(userId);
        final byte[] c = Texts.encode(codeText);
        final byte[] v = Texts.encode(valueText);
        try {
            synchronized (lock) {
                final long h = handle.address();
                result(h, Native.reissue(h, u, f, c, v));
            }
        } finally {
            Texts.wipe(u, c, v);
            Reference.reachabilityFence(this);
        }
    }

    /** Asks whether the service is available for the subscriber with this number. */
    public void check(String number, IdentityForm form, String codeText, String valueText) {
        final int f = form.value();
        final byte[] u = Texts.encode(number);
        final byte[] c = Texts.encode(codeText);
        final byte[] v = Texts.encode(valueText);
        try {
            synchronized (lock) {
                final long h = handle.address();
                result(h, Native.check(h, u, f, c, v));
            }
        } finally {
            Texts.wipe(u, c, v);
            Reference.reachabilityFence(this);
        }
    }

    /** Asks whether the service is available for an additional service. */
    public void checkAdditionalService(String codeText, String valueText) {
        final byte[] c = Texts.encode(codeText);
        final byte[] v = Texts.encode(valueText);
        try {
            synchronized (lock) {
                final long h = handle.address();
                result(h, Native.addsvcCheck(h, c, v));
            }
        } finally {
            Texts.wipe(c, v);
            Reference.reachabilityFence(this);
        }
    }

    /**
     * Asks the service to verify the OTP (0 to 9,999,999) that the subscriber entered; extraText
     * (at most 20 bytes are sent) may be null.
     */
    public void authenticate(
            String userId, IdentityForm form, int otpValue, AuthLevel level, String extraText) {
        final int f = form.value();
        final int l = level.value();
        final byte[] u = Texts.encode(userId);
        final byte[] x = Texts.encode(extraText);
        try {
            synchronized (lock) {
                final long h = handle.address();
                result(h, Native.auth(h, u, f, otpValue, l, x));
            }
        } finally {
            Texts.wipe(u, x);
            Reference.reachabilityFence(this);
        }
    }

    /** Joins the subscriber to the service. */
    public void join(String userId, IdentityForm form) {
        membership(userId, form, 0);
    }

    /** Closes the subscriber's membership. */
    public void closeMembership(String userId, IdentityForm form) {
        membership(userId, form, 1);
    }

    /** Resets the subscriber's authentication-error count (and with it a lock). */
    public void resetAuthErrors(String userId, IdentityForm form) {
        membership(userId, form, 2);
    }

    /** The service port this client was built with. */
    public int port() {
        synchronized (lock) {
            return Native.port(handle.address());
        }
    }

    /** The connect time limit, in one-second waits. */
    public int connectTimeout() {
        synchronized (lock) {
            return Native.connectTimeout(handle.address());
        }
    }

    /**
     * Host name of the server that took the last successful connection (the primary before any).
     */
    public String host() {
        synchronized (lock) {
            return Texts.decode(Native.host(handle.address()));
        }
    }

    /** Releases the native client; later calls on this client throw. Closing twice is harmless. */
    @Override
    public void close() {
        synchronized (lock) {
            cleanable.clean();
        }
    }

    private void membership(String userId, IdentityForm form, int which) {
        final int f = form.value();
        final byte[] u = Texts.encode(userId);
        try {
            synchronized (lock) {
                final long h = handle.address();
                final int status =
                        switch (which) {
                            case 0 -> Native.join(h, u, f);
                            case 1 -> Native.close(h, u, f);
                            default -> Native.initAuthErr(h, u, f);
                        };
                result(h, status);
            }
        } finally {
            Texts.wipe(u);
            Reference.reachabilityFence(this);
        }
    }

    /** Throws the request's outcome unless it succeeded; runs under the lock. */
    private static void result(long h, int status) {
        if (status == Native.OK) {
            return;
        }
        final String code = Texts.decode(Native.resultCode(h));
        final String message = Texts.decode(Native.resultMessage(h));
        if (code.isEmpty() && status == Native.E_INVALIDARG) {
            throw OtpException.of(OtpException.VALUE_REFUSED, "the library refused a text");
        }
        throw OtpException.of(code, message);
    }

    /** Throws for a failed configuration call, which leaves no result code. */
    private static void statusOnly(int status, String refused) {
        if (status == Native.OK) {
            return;
        }
        if (status == Native.E_POINTER) {
            throw OtpException.of("P001", "a configuration text is null");
        }
        throw OtpException.of(OtpException.VALUE_REFUSED, refused);
    }

    /**
     * Configuration of a client. The key material is copied when it is given, whatever its type;
     * {@link #build} wipes that copy, so each build needs the key material again. The caller's own
     * arrays are left as they are (wipe them when done); a key given as a String cannot be wiped by
     * anyone, so char[] or byte[] are the better choice.
     */
    public static final class Builder {
        private int port;
        private String siteId;
        private byte[] keyMaterial;
        private int connectTimeout = DEFAULT_CONNECT_TIMEOUT;

        private Builder() {}

        /** The service's TCP port, 0 to 65535. */
        public Builder port(int port) {
            this.port = port;
            return this;
        }

        /** The site identifier under which the service knows the caller (at most 32 bytes). */
        public Builder site(String siteId) {
            this.siteId = siteId;
            return this;
        }

        /**
         * The site's key material (at most 32 bytes). Each keyMaterial method throws {@link
         * OtpArgumentException} J001 at once for a key holding NUL.
         */
        public Builder keyMaterial(String keyMaterial) {
            return replaceKey(Texts.encode(keyMaterial));
        }

        /** The site's key material; the array is copied, not kept. */
        public Builder keyMaterial(char[] keyMaterial) {
            return replaceKey(Texts.encode(keyMaterial));
        }

        /**
         * The site's key material as UTF-8 bytes; the array is copied, not kept. Bytes that are
         * not well-formed UTF-8 throw {@link OtpArgumentException} J002 at once.
         */
        public Builder keyMaterial(byte[] utf8) {
            return replaceKey(Texts.copy(utf8));
        }

        /** Connect time limit in one-second waits (default 5; 0 or less: no connect is tried). */
        public Builder connectTimeout(int seconds) {
            this.connectTimeout = seconds;
            return this;
        }

        /**
         * A new client. Throws {@link OtpArgumentException}: P001 when the site or the key material
         * is missing, J001 when the site holds NUL, J002 when either is over 32 bytes of code page
         * 949 or the port is outside 0 to 65535. The builder's copy of the key material is wiped in
         * every case.
         */
        public OtpClient build() {
            final byte[] key = keyMaterial;
            keyMaterial = null;
            byte[] site = null;
            try {
                if (siteId == null || key == null) {
                    throw OtpException.of("P001", "the site identifier or the key material is missing");
                }
                // The library keeps only the low 16 bits of the port: 70000 would reach 4464.
                if (port < 0 || port > 0xFFFF) {
                    throw OtpException.of(OtpException.VALUE_REFUSED,
                            "the port " + port + " is outside 0 to 65535");
                }
                site = Texts.encode(siteId);
                return new OtpClient(port, site, key, connectTimeout);
            } finally {
                Texts.wipe(key, site);
            }
        }

        /** The copy of the key material the builder holds, for the tests. */
        byte[] keyCopy() {
            return keyMaterial;
        }

        private Builder replaceKey(byte[] copy) {
            Texts.wipe(keyMaterial);
            keyMaterial = copy;
            return this;
        }
    }
}
