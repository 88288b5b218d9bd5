// The C interface's handle: creation, configuration, the last result and the
// host, and the process-wide functions.
#include <new>

#include "capi/client_handle.h"
#include "client/ansi_text.h"
#include "crypto/hash_value.h"

extern "C" {

otpcli_status OTPCLI_CALL otpcli_create(otpcli_client** client) {
    if (client == nullptr) {
        return OTPCLI_E_POINTER;
    }
    *client = new (std::nothrow) otpcli_client;
    return *client != nullptr ? OTPCLI_OK : OTPCLI_E_FAIL;
}

void OTPCLI_CALL otpcli_destroy(otpcli_client* client) {
    delete client;
}

otpcli_status OTPCLI_CALL otpcli_init(otpcli_client* client, int port, const char* site_id,
                                      const char* key_material) {
    if (client == nullptr) {
        return OTPCLI_E_POINTER;
    }
    return client->configure(port, site_id, key_material);
}

otpcli_status OTPCLI_CALL otpcli_set_connect_timeout(otpcli_client* client, int timeout) {
    if (client == nullptr) {
        return OTPCLI_E_POINTER;
    }
    return static_cast<otpcli_status>(client->setConnectTimeout(timeout));
}

otpcli_status OTPCLI_CALL otpcli_get_connect_timeout(otpcli_client* client, int* timeout) {
    if (client == nullptr) {
        return OTPCLI_E_POINTER;
    }
    return static_cast<otpcli_status>(client->getConnectTimeout(timeout));
}

otpcli_status OTPCLI_CALL otpcli_get_port(otpcli_client* client, int* port) {
    if (client == nullptr) {
        return OTPCLI_E_POINTER;
    }
    return static_cast<otpcli_status>(client->getPort(port));
}

otpcli_status OTPCLI_CALL otpcli_result_code(otpcli_client* client, const char** code) {
    if (client == nullptr || code == nullptr) {
        return OTPCLI_E_POINTER;
    }
    *code = client->codeUtf8();
    return OTPCLI_OK;
}

otpcli_status OTPCLI_CALL otpcli_result_message(otpcli_client* client, const char** message) {
    if (client == nullptr || message == nullptr) {
        return OTPCLI_E_POINTER;
    }
    *message = client->messageUtf8();
    return OTPCLI_OK;
}

otpcli_status OTPCLI_CALL otpcli_host(otpcli_client* client, const char** host) {
    if (client == nullptr || host == nullptr) {
        return OTPCLI_E_POINTER;
    }
    *host = client->hostUtf8();
    return OTPCLI_OK;
}

otpcli_status OTPCLI_CALL otpcli_hash_value(const char* text, char hash[OTPCLI_HASH_SIZE]) {
    if (text == nullptr || hash == nullptr) {
        return OTPCLI_E_POINTER;
    }
    otpcli::AnsiText ansi;
    switch (ansi.assignUtf8(text)) {
        case otpcli::AnsiText::Utf8Status::converted:
            break;
        case otpcli::AnsiText::Utf8Status::malformed:
            return OTPCLI_E_INVALIDARG;
        case otpcli::AnsiText::Utf8Status::noMemory:
        case otpcli::AnsiText::Utf8Status::unavailable:
            // Nothing to hash: an empty text would give a wrong identity.
            return OTPCLI_E_FAIL;
    }
    unsigned char digest[otpcli::Sha1::kDigestBytes];
    otpcli::digestText(ansi.view(), digest);
    otpcli::toHex(digest, sizeof digest, hash);
    hash[2 * sizeof digest] = '\0';
    return OTPCLI_OK;
}

otpcli_status OTPCLI_CALL otpcli_set_server_hosts(const char* primary, const char* backup) {
    if (primary == nullptr || backup == nullptr) {
        return OTPCLI_E_POINTER;
    }
    otpcli::AnsiText first;
    otpcli::AnsiText second;
    const auto firstStatus = first.assignUtf8(primary);
    const auto secondStatus = second.assignUtf8(backup);
    if (firstStatus == otpcli::AnsiText::Utf8Status::malformed ||
        secondStatus == otpcli::AnsiText::Utf8Status::malformed) {
        return OTPCLI_E_INVALIDARG;
    }
    if (firstStatus != otpcli::AnsiText::Utf8Status::converted ||
        secondStatus != otpcli::AnsiText::Utf8Status::converted) {
        return OTPCLI_E_FAIL;
    }
    return otpcli::replaceServerHosts(first.c_str(), second.c_str()) ? OTPCLI_OK
                                                                     : OTPCLI_E_INVALIDARG;
}

}  // extern "C"
