/* C interface of the one-time-password (OTP) client library.
 *
 * The stable ABI of the library: plain C (C99 and later, and C++), one opaque
 * handle per client, UTF-8 texts in and out. Every language binding is built
 * on these functions; they run the same request code as the OTPCLI class.
 *
 *   otpcli_client* client = NULL;
 *   if (otpcli_create(&client) != OTPCLI_OK) { ... }
 *   otpcli_init(client, 9100, "MYSITE", key);
 *   if (otpcli_auth(client, "8505031234565", 0, 123456, OTPCLI_AUTH_LEVEL_1, NULL) != OTPCLI_OK) {
 *       const char* code = NULL;
 *       const char* message = NULL;
 *       otpcli_result_code(client, &code);
 *       otpcli_result_message(client, &message);
 *       printf("%s %s\n", code, message);
 *   }
 *   otpcli_destroy(client);
 *
 * Statuses. Every function but otpcli_destroy and the two version functions
 * returns an otpcli_status: OTPCLI_OK, or a negative value:
 *   OTPCLI_E_POINTER     a null handle, a null output pointer, or a null
 *                        configuration text (otpcli_init, the server hosts);
 *   OTPCLI_E_INVALIDARG  a text that is not well-formed UTF-8 (nothing is
 *                        sent), or a configuration text over its limit;
 *   OTPCLI_E_FAIL        a request that did not succeed: its result code and
 *                        message say why (a null text argument of a request is
 *                        such a failure, with result code "P001", as in the
 *                        class), or memory that could not be had.
 * The values are those of the class's S_OK, E_POINTER, E_INVALIDARG and E_FAIL.
 *
 * Texts. Arguments are NUL-terminated UTF-8. Inside they are converted to code
 * page 949, and every length limit counts bytes of code page 949 (a Korean
 * character takes two); a character that code page 949 lacks is sent as '?'.
 * A request whose text argument is not well-formed UTF-8 returns
 * OTPCLI_E_INVALIDARG without sending anything and leaves the result code and
 * message of the handle empty. Where the code page converter cannot be had, a
 * text beyond ASCII is never sent changed: a request fails with result code
 * "E001", otpcli_init, otpcli_hash_value and otpcli_set_server_hosts with
 * OTPCLI_E_FAIL.
 *
 * Memory. No function hands memory over to the caller. Strings that the
 * library returns through a handle (result code, result message, host) are
 * owned by that handle and stay valid until the next call on the same handle
 * or its destruction. otpcli_hash_value writes into a buffer of the caller's.
 *
 * Threads. A handle is used by one thread at a time; any number of handles may
 * be used on different threads at once. The server hosts are shared by the
 * whole process.
 */
#ifndef OTPCLI_OTPCLI_C_H
#define OTPCLI_OTPCLI_C_H

#include <stdint.h>

#define OTPCLI_VERSION_MAJOR 1
#define OTPCLI_VERSION_MINOR 1
#define OTPCLI_VERSION_PATCH 0
/* MAJOR * 10000 + MINOR * 100 + PATCH, for comparisons in the preprocessor. */
#define OTPCLI_VERSION_NUMBER \
    (OTPCLI_VERSION_MAJOR * 10000 + OTPCLI_VERSION_MINOR * 100 + OTPCLI_VERSION_PATCH)

#if defined(_WIN32)
#if defined(OTPCLI_BUILDING)
#define OTPCLI_CAPI __declspec(dllexport)
#else
#define OTPCLI_CAPI __declspec(dllimport)
#endif
#define OTPCLI_CALL __cdecl
#else
#define OTPCLI_CAPI __attribute__((visibility("default")))
#define OTPCLI_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t otpcli_status;

#define OTPCLI_OK ((otpcli_status)0)
#define OTPCLI_E_POINTER ((otpcli_status)0x80004003)
#define OTPCLI_E_INVALIDARG ((otpcli_status)0x80070057)
#define OTPCLI_E_FAIL ((otpcli_status)0x80004005)

/* Authentication levels for otpcli_auth. */
#define OTPCLI_AUTH_LEVEL_1 1
#define OTPCLI_AUTH_LEVEL_2 2

/* Identity forms of the requests that take one. */
#define OTPCLI_IDENTITY_NUMBER 0 /* a 13-digit resident registration number */
#define OTPCLI_IDENTITY_TEXT 1   /* the 40-character text of otpcli_hash_value */

/* Size of the buffer that otpcli_hash_value fills: 40 characters and a NUL. */
#define OTPCLI_HASH_SIZE 41

typedef struct otpcli_client otpcli_client;

/* The version of the library that is running, as OTPCLI_VERSION_NUMBER and as
 * text ("1.1.0"; static storage). */
OTPCLI_CAPI uint32_t OTPCLI_CALL otpcli_version_number(void);
OTPCLI_CAPI const char* OTPCLI_CALL otpcli_version_string(void);

/* A new client in *client (connect timeout 5, nothing configured yet). */
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_create(otpcli_client** client);
/* Wipes the client's key material and releases it; a null handle is ignored. */
OTPCLI_CAPI void OTPCLI_CALL otpcli_destroy(otpcli_client* client);

/* Stores the service port, the site identifier and the key material (each at
 * most 32 bytes of code page 949), as the class's init. */
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_init(otpcli_client* client, int port,
                                                  const char* site_id, const char* key_material);
/* Connect time limit, in one-second waits (0 or less: no connect is tried). */
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_set_connect_timeout(otpcli_client* client,
                                                                 int timeout);
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_get_connect_timeout(otpcli_client* client,
                                                                 int* timeout);
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_get_port(otpcli_client* client, int* port);

/* Requests to the service, as the class's. identity_form: see the identity
 * forms above; any other value hashes user_id without the number check. */
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_issue(otpcli_client* client, const char* user_id,
                                                   const char* code_text, const char* value_text);
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_reissue(otpcli_client* client, const char* user_id,
                                                     int identity_form, const char* code_text,
                                                     const char* value_text);
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_check(otpcli_client* client, const char* user_id,
                                                   int identity_form, const char* code_text,
                                                   const char* value_text);
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_addsvc_check(otpcli_client* client,
                                                          const char* code_text,
                                                          const char* value_text);
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_auth(otpcli_client* client, const char* user_id,
                                                  int identity_form, int otp_value, int auth_level,
                                                  const char* extra_text);
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_join(otpcli_client* client, const char* user_id,
                                                  int identity_form);
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_close(otpcli_client* client, const char* user_id,
                                                   int identity_form);
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_init_auth_err(otpcli_client* client,
                                                           const char* user_id, int identity_form);

/* The result code (four ASCII characters, "0000" on success) and the message
 * (UTF-8) of the last request on the handle; empty before the first. */
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_result_code(otpcli_client* client, const char** code);
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_result_message(otpcli_client* client,
                                                            const char** message);
/* Host name of the server that took the last successful connection. */
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_host(otpcli_client* client, const char** host);

/* The 40-character lower-case SHA-1 hex text of text (converted to code page
 * 949 first), written with its NUL into hash[OTPCLI_HASH_SIZE]. */
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_hash_value(const char* text,
                                                        char hash[OTPCLI_HASH_SIZE]);

/* Replaces the primary and backup host names for the whole process and returns
 * to the primary, as OTPCLI::setServerHosts. */
OTPCLI_CAPI otpcli_status OTPCLI_CALL otpcli_set_server_hosts(const char* primary,
                                                              const char* backup);

#ifdef __cplusplus
}
#endif

#endif /* OTPCLI_OTPCLI_C_H */
