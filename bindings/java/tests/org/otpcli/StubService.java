package org.otpcli;

import java.io.DataInputStream;
import java.io.IOException;
import java.net.InetAddress;
import java.net.ServerSocket;
import java.net.Socket;
import java.nio.charset.StandardCharsets;
import java.util.concurrent.atomic.AtomicInteger;

/**
 * A loopback service with a fixed answer, for what otpd never does: a reply without a result code,
 * a connection closed without a reply, and a reply held back for a while. It counts the exchanges
 * it serves at the same time.
 */
final class StubService implements AutoCloseable {
    /** A reply body with the result code "0000" and no message. */
    static final byte[] SUCCESS = reply("0000");
    /** A reply body of ten bytes: no result code at all. */
    static final byte[] NO_CODE = "00010          ".getBytes(StandardCharsets.US_ASCII);

    final int port;
    private final ServerSocket server;
    private final byte[] answer;
    private final long holdMillis;
    private final AtomicInteger active = new AtomicInteger();
    private final AtomicInteger mostActive = new AtomicInteger();
    private final Thread acceptor;

    /** answer: the bytes sent after the request is read, or null to close without a reply. */
    StubService(byte[] answer, long holdMillis) throws IOException {
        this.answer = answer;
        this.holdMillis = holdMillis;
        server = new ServerSocket(0, 64, InetAddress.getByName("127.0.0.1"));
        port = server.getLocalPort();
        acceptor = new Thread(this::acceptAll, "stub-service");
        acceptor.setDaemon(true);
        acceptor.start();
    }

    static byte[] reply(String code) {
        final String body = " ".repeat(40) + code + "004";
        return (String.format("%05d", body.length()) + body).getBytes(StandardCharsets.US_ASCII);
    }

    /** The largest number of exchanges that were open at once. */
    int mostActive() {
        return mostActive.get();
    }

    private void acceptAll() {
        while (!server.isClosed()) {
            try {
                final Socket socket = server.accept();
                final Thread t = new Thread(() -> serve(socket), "stub-exchange");
                t.setDaemon(true);
                t.start();
            } catch (IOException e) {
                return;
            }
        }
    }

    private void serve(Socket socket) {
        // An exchange counts from its accept until its answer goes out: the client cannot start
        // its next request before it has the answer.
        mostActive.accumulateAndGet(active.incrementAndGet(), Math::max);
        boolean counted = true;
        try (socket) {
            socket.setSoTimeout(5000);
            final DataInputStream in = new DataInputStream(socket.getInputStream());
            final byte[] length = new byte[5];
            in.readFully(length);
            in.readFully(new byte[Integer.parseInt(new String(length, StandardCharsets.US_ASCII))]);
            Thread.sleep(holdMillis);
            active.decrementAndGet();
            counted = false;
            if (answer != null) {
                socket.getOutputStream().write(answer);
                socket.getOutputStream().flush();
            }
        } catch (IOException | InterruptedException | NumberFormatException e) {
            // The client sees a broken exchange; that is what some tests want.
        } finally {
            if (counted) {
                active.decrementAndGet();
            }
        }
    }

    @Override
    public void close() throws IOException {
        server.close();
        try {
            acceptor.join(5000);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}
