/* A plain C program on the C interface: compiled as C99 against the installed
 * header's declarations and linked to the shared library (otpcli.dll through
 * its import library on Windows). Exits with 0 when every check holds. */
#include <stdio.h>
#include <string.h>

#include <otpcli/otpcli_c.h>

static int failures = 0;

#define CHECK(condition)                                                                  \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                                   \
        }                                                                                 \
    } while (0)

static void versions(void) {
    char expected[32];
    snprintf(expected, sizeof expected, "%d.%d.%d", OTPCLI_VERSION_MAJOR, OTPCLI_VERSION_MINOR,
             OTPCLI_VERSION_PATCH);
    CHECK(otpcli_version_number() == OTPCLI_VERSION_NUMBER);
    CHECK(strcmp(otpcli_version_string(), expected) == 0);
}

static void refusals(otpcli_client* client) {
    const char* text = NULL;
    char hash[OTPCLI_HASH_SIZE];
    CHECK(otpcli_create(NULL) == OTPCLI_E_POINTER);
    CHECK(otpcli_init(NULL, 1, "S", "K") == OTPCLI_E_POINTER);
    CHECK(otpcli_result_code(client, NULL) == OTPCLI_E_POINTER);
    CHECK(otpcli_join(NULL, "8505031234565", 0) == OTPCLI_E_POINTER);
    CHECK(otpcli_hash_value(NULL, hash) == OTPCLI_E_POINTER);
    CHECK(otpcli_init(client, 1, "\xff", "K") == OTPCLI_E_INVALIDARG);
    CHECK(otpcli_init(client, 1, "0123456789abcdef0123456789abcdefX", "K") == OTPCLI_E_INVALIDARG);

    /* A null text of a request is the request's own failure. */
    CHECK(otpcli_join(client, NULL, 0) == OTPCLI_E_FAIL);
    CHECK(otpcli_result_code(client, &text) == OTPCLI_OK && strcmp(text, "P001") == 0);
    /* Malformed UTF-8: refused, and the last result is emptied. */
    CHECK(otpcli_addsvc_check(client, "C", "\xed\xa0\x80") == OTPCLI_E_INVALIDARG);
    CHECK(otpcli_result_code(client, &text) == OTPCLI_OK && text[0] == '\0');
    CHECK(otpcli_result_message(client, &text) == OTPCLI_OK && text[0] == '\0');
    otpcli_destroy(NULL);
}

static void hashes(void) {
    char hash[OTPCLI_HASH_SIZE];
    CHECK(otpcli_hash_value("abc", hash) == OTPCLI_OK);
    CHECK(strcmp(hash, "a9993e364706816aba3e25717850c26c9cd0d89d") == 0);
    /* "가" is B0 A1 in code page 949: the hash of those two bytes. */
    CHECK(otpcli_hash_value("\xea\xb0\x80", hash) == OTPCLI_OK);
    CHECK(strcmp(hash, "3e14337db0c39f7f3223024ac693e96d79c00ae3") == 0);
}

static void failedRequest(otpcli_client* client) {
    const char* code = NULL;
    const char* message = NULL;
    const char* host = NULL;
    int timeout = -1;
    CHECK(otpcli_set_server_hosts("127.0.0.1", "127.0.0.2") == OTPCLI_OK);
    CHECK(otpcli_init(client, 9, "SITE", "key") == OTPCLI_OK);
    /* No wait allowed: the connect fails before anything is sent. */
    CHECK(otpcli_set_connect_timeout(client, 0) == OTPCLI_OK);
    CHECK(otpcli_get_connect_timeout(client, &timeout) == OTPCLI_OK && timeout == 0);
    CHECK(otpcli_auth(client, "8505031234565", OTPCLI_IDENTITY_NUMBER, 123456, OTPCLI_AUTH_LEVEL_1,
                      NULL) == OTPCLI_E_FAIL);
    CHECK(otpcli_result_code(client, &code) == OTPCLI_OK && strcmp(code, "N001") == 0);
    /* "서버에 접속할 수 없습니다." in UTF-8 */
    CHECK(otpcli_result_message(client, &message) == OTPCLI_OK &&
          strcmp(message,
                 "\xec\x84\x9c\xeb\xb2\x84\xec\x97\x90 \xec\xa0\x91\xec\x86\x8d\xed\x95\xa0 "
                 "\xec\x88\x98 \xec\x97\x86\xec\x8a\xb5\xeb\x8b\x88\xeb\x8b\xa4.") == 0);
    CHECK(otpcli_host(client, &host) == OTPCLI_OK && strcmp(host, "127.0.0.1") == 0);
}

int main(void) {
    otpcli_client* client = NULL;
    versions();
    if (otpcli_create(&client) != OTPCLI_OK || client == NULL) {
        fprintf(stderr, "otpcli_create failed\n");
        return 1;
    }
    refusals(client);
    hashes();
    failedRequest(client);
    otpcli_destroy(client);
    if (failures != 0) {
        fprintf(stderr, "%d checks failed\n", failures);
        return 1;
    }
    printf("C interface: all checks passed (library %s)\n", otpcli_version_string());
    return 0;
}
