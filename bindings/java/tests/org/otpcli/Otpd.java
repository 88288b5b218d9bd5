package org.otpcli;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.TimeUnit;

/**
 * A real otpd on a free loopback port for one test class, with two sites (one of them Korean) and
 * an outbox that the tests read the issued OTPs from. The keys reach otpd through a sites file,
 * never its command line.
 */
final class Otpd implements AutoCloseable {
    static final String SITE = "SITE01";
    static final String KEY = "site key material";
    static final String KOREAN_SITE = "한국사이트";
    /** 16 Korean characters: exactly the 32 bytes of code page 949 the library allows. */
    static final String KOREAN_KEY = "열여섯글자로된한국어열쇠자료예요";

    final int port;
    final Path outbox;
    private final Path dir;
    private final Process process;

    private Otpd(Path dir, Process process, int port) {
        this.dir = dir;
        this.process = process;
        this.port = port;
        this.outbox = dir.resolve("outbox");
    }

    static Otpd start() throws Exception {
        final String program = System.getProperty("otpcli.test.otpd");
        if (program == null) {
            throw new IllegalStateException("system property otpcli.test.otpd names no otpd");
        }
        final Path dir = Files.createTempDirectory("otpcli-java-");
        final Path sites = dir.resolve("sites.conf");
        Files.writeString(sites, SITE + ":" + KEY + "\n" + KOREAN_SITE + ":" + KOREAN_KEY + "\n",
                StandardCharsets.UTF_8);
        final Process process = new ProcessBuilder(program, "--listen", "127.0.0.1", "--port", "0",
                "--config", sites.toString(), "--outbox", dir.resolve("outbox").toString(),
                "--otp-digits", "6")
                .redirectError(dir.resolve("otpd.log").toFile())
                .start();
        final BufferedReader out = new BufferedReader(
                new InputStreamReader(process.getInputStream(), StandardCharsets.UTF_8));
        final String line = CompletableFuture.supplyAsync(() -> {
            try {
                return out.readLine();
            } catch (IOException e) {
                return null;
            }
        }).get(10, TimeUnit.SECONDS);
        if (line == null || !line.startsWith("listening 127.0.0.1:")) {
            process.destroyForcibly();
            throw new IllegalStateException("otpd did not start: " + line + "\n"
                    + Files.readString(dir.resolve("otpd.log")));
        }
        return new Otpd(dir, process, Integer.parseInt(line.substring(line.lastIndexOf(':') + 1)));
    }

    /** A client of the plain site. */
    OtpClient client() {
        return OtpClient.builder().port(port).site(SITE).keyMaterial(KEY.toCharArray()).build();
    }

    /** The fields of the last outbox line for this identity text: OTP, identity, code, value. */
    String[] lastDelivery(String identityText) throws Exception {
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (Files.exists(outbox)) {
                final List<String> lines = Files.readAllLines(outbox, StandardCharsets.UTF_8);
                for (int i = lines.size() - 1; i >= 0; --i) {
                    final String[] fields = lines.get(i).split("\t", -1);
                    if (fields.length >= 2 && fields[1].equals(identityText)) {
                        return fields;
                    }
                }
            }
            Thread.sleep(20);
        }
        throw new AssertionError("no OTP delivered for " + identityText);
    }

    /** The OTP last delivered for this resident registration number. */
    int lastOtp(String number) throws Exception {
        return Integer.parseInt(lastDelivery(OtpClient.hashValue(number))[0]);
    }

    @Override
    public void close() throws IOException {
        process.destroy();
        try {
            if (!process.waitFor(5, TimeUnit.SECONDS)) {
                process.destroyForcibly().waitFor(5, TimeUnit.SECONDS);
            }
        } catch (InterruptedException e) {
            process.destroyForcibly();
            Thread.currentThread().interrupt();
        }
        try (var files = Files.list(dir)) {
            for (Path f : (Iterable<Path>) files::iterator) {
                Files.deleteIfExists(f);
            }
        }
        Files.deleteIfExists(dir);
    }
}
