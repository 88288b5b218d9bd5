package org.otpcli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/** Clients on many threads: one client shared is serialised, separate clients run in parallel. */
class ThreadsTest extends WithOtpd {
    private static final int THREADS = 8;

    /** Runs the tasks on one thread each and returns when all are done, rethrowing failures. */
    private static void runAll(List<Callable<Void>> tasks) throws Exception {
        final ExecutorService pool = Executors.newFixedThreadPool(tasks.size());
        try {
            final List<Future<Void>> results = pool.invokeAll(tasks, 120, TimeUnit.SECONDS);
            for (Future<Void> result : results) {
                result.get();
            }
        } finally {
            pool.shutdownNow();
        }
    }

    @Test
    void manyClientsOnManyThreads() throws Exception {
        final List<Callable<Void>> tasks = new ArrayList<>();
        for (int t = 0; t < THREADS; ++t) {
            tasks.add(() -> {
                try (OtpClient client = otpd.client()) {
                    for (int round = 0; round < 5; ++round) {
                        final String number = Numbers.fresh();
                        client.join(number, IdentityForm.NUMBER);
                        client.check(number, IdentityForm.NUMBER, "SMS", "010");
                        client.issue(number, "SMS", "010");
                        client.authenticate(number, IdentityForm.NUMBER, otpd.lastOtp(number),
                                AuthLevel.LEVEL_1, null);
                        client.closeMembership(number, IdentityForm.NUMBER);
                        assertEquals(40, OtpClient.hashValue(number).length());
                    }
                }
                return null;
            });
        }
        runAll(tasks);
    }

    @Test
    void aSharedClientGivesEachThreadItsOwnOutcome() throws Exception {
        // Even threads ask for members, odd ones for strangers: a result read after another
        // thread's request would show up as the wrong outcome.
        final List<String> members = new ArrayList<>();
        try (OtpClient client = otpd.client()) {
            for (int t = 0; t < THREADS; t += 2) {
                final String number = Numbers.fresh();
                client.join(number, IdentityForm.NUMBER);
                members.add(number);
            }
            final List<Callable<Void>> tasks = new ArrayList<>();
            for (int t = 0; t < THREADS; ++t) {
                final String number = t % 2 == 0 ? members.get(t / 2) : Numbers.fresh();
                final boolean member = t % 2 == 0;
                tasks.add(() -> {
                    for (int i = 0; i < 40; ++i) {
                        if (member) {
                            client.check(number, IdentityForm.NUMBER, "SMS", "010");
                        } else {
                            final OtpRefusedException e = assertThrows(OtpRefusedException.class,
                                    () -> client.check(number, IdentityForm.NUMBER, "SMS", "010"));
                            assertEquals("S101", e.getCode());
                        }
                    }
                    return null;
                });
            }
            runAll(tasks);
        }
    }

    @Test
    void aSharedClientSendsOneRequestAtATimeSeparateClientsSeveral() throws Exception {
        try (StubService stub = new StubService(StubService.SUCCESS, 200)) {
            try (OtpClient shared = stubClient(stub)) {
                final List<Callable<Void>> tasks = new ArrayList<>();
                for (int t = 0; t < 4; ++t) {
                    tasks.add(() -> {
                        shared.checkAdditionalService("ADD", "010");
                        return null;
                    });
                }
                runAll(tasks);
            }
            assertEquals(1, stub.mostActive(), "a shared client ran requests at once");
        }
        try (StubService stub = new StubService(StubService.SUCCESS, 200)) {
            final List<Callable<Void>> tasks = new ArrayList<>();
            for (int t = 0; t < 4; ++t) {
                tasks.add(() -> {
                    try (OtpClient own = stubClient(stub)) {
                        own.checkAdditionalService("ADD", "010");
                    }
                    return null;
                });
            }
            final long start = System.nanoTime();
            runAll(tasks);
            final long millis = (System.nanoTime() - start) / 1_000_000;
            assertTrue(stub.mostActive() >= 2, "separate clients never overlapped");
            assertTrue(millis < 4 * 200, "four held exchanges took " + millis + " ms");
        }
    }

    @Test
    void closeWaitsForTheRequestInFlight() throws Exception {
        try (StubService stub = new StubService(StubService.SUCCESS, 300)) {
            final OtpClient client = stubClient(stub);
            final ExecutorService pool = Executors.newSingleThreadExecutor();
            try {
                final Future<?> request =
                        pool.submit(() -> client.checkAdditionalService("ADD", "010"));
                final long deadline = System.nanoTime() + 10_000_000_000L;
                while (stub.mostActive() == 0 && System.nanoTime() < deadline) {
                    Thread.sleep(5);
                }
                client.close();
                request.get(10, TimeUnit.SECONDS);  // it completed, not crashed
                assertThrows(IllegalStateException.class,
                        () -> client.checkAdditionalService("ADD", "010"));
            } finally {
                pool.shutdownNow();
            }
        }
    }

    private static OtpClient stubClient(StubService stub) {
        return OtpClient.builder().port(stub.port).site(Otpd.SITE).keyMaterial(Otpd.KEY).build();
    }
}
