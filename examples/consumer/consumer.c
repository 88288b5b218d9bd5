/* Hashes an identity and reads the state of a fresh client through the C
 * interface: a C99 program linked to an installed otpcli. */
#include <stdio.h>
#include <string.h>

#include <otpcli/otpcli_c.h>

int main(void) {
    otpcli_client* client = NULL;
    char hash[OTPCLI_HASH_SIZE];
    const char* host = NULL;
    int ok = 0;

    if (otpcli_create(&client) != OTPCLI_OK) {
        return 1;
    }
    if (otpcli_init(client, 9100, "CONSUMER", "consumer key") == OTPCLI_OK &&
        otpcli_hash_value("abc", hash) == OTPCLI_OK && otpcli_host(client, &host) == OTPCLI_OK) {
        printf("library %s (header %d.%d.%d)\n", otpcli_version_string(), OTPCLI_VERSION_MAJOR,
               OTPCLI_VERSION_MINOR, OTPCLI_VERSION_PATCH);
        printf("hash of abc: %s\n", hash);
        printf("server: %s\n", host);
        ok = strcmp(hash, "a9993e364706816aba3e25717850c26c9cd0d89d") == 0 &&
             otpcli_version_number() >= OTPCLI_VERSION_NUMBER;
    }
    otpcli_destroy(client);
    return ok ? 0 : 1;
}
