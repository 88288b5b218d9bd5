// The C interface's handle: an OTPCLI object, so that both interfaces share
// one configuration, one error state and the same request code, with room for
// the UTF-8 texts that the handle hands out.
#pragma once

#include <array>
#include <cstring>
#include <initializer_list>

#include <otpcli/otpcli.h>
#include <otpcli/otpcli_c.h>

#include "net/server_table.h"
#include "platform/codepage.h"
#include "platform/utf8.h"
#include "requests/requests.h"

struct otpcli_client final : public OTPCLI {
    otpcli_client() = default;
    otpcli_client(const otpcli_client&) = delete;
    otpcli_client& operator=(const otpcli_client&) = delete;
    // The class's destructor wipes the key material.
    ~otpcli_client() override = default;

    // Runs request(context, outcome) unless one of texts (the request's text
    // arguments, null ones allowed) is malformed UTF-8, and records its outcome.
    template <typename Request>
    otpcli_status run(std::initializer_list<const char*> texts, Request request) noexcept {
        for (const char* text : texts) {
            std::size_t length = 0;
            if (text != nullptr && !otpcli::platform::isWellFormedUtf8(text, length)) {
                clearResult();
                return OTPCLI_E_INVALIDARG;
            }
        }
        const auto check = [this](const char* id) { return checkUserId(id); };
        otpcli::Outcome out;
        request(otpcli::RequestContext{{siteId, keyMaterial, port, connectTimeout},
                                       otpcli::NumberCheck(check)},
                out);
        if (out.status == E_INVALIDARG) {
            clearResult();
        } else {
            setError(out.code, out.mesg);
        }
        return static_cast<otpcli_status>(out.status);
    }

    // The class's init with UTF-8 texts.
    otpcli_status configure(int newPort, const char* newSiteId,
                            const char* newKeyMaterial) noexcept;

    // The error state and the current host as UTF-8, in the handle's own
    // buffers (each getter one of its own, so that reading one leaves the
    // others valid).
    const char* codeUtf8() noexcept {
        otpcli::platform::ansiToUtf8(errorCode, code_.data(), code_.size());
        return code_.data();
    }
    const char* messageUtf8() noexcept {
        otpcli::platform::ansiToUtf8(errorMesg, message_.data(), message_.size());
        return message_.data();
    }
    const char* hostUtf8() noexcept {
        char name[otpcli::kMaxHostNameBytes + 1];
        otpcli::currentHostName(name);
        otpcli::platform::ansiToUtf8(name, host_.data(), host_.size());
        return host_.data();
    }

  private:
    void clearResult() noexcept {
        std::memset(errorCode, 0, sizeof errorCode);
        std::memset(errorMesg, 0, sizeof errorMesg);
    }

    std::array<char, otpcli::platform::utf8Room(sizeof errorCode - 1)> code_{};
    std::array<char, otpcli::platform::utf8Room(sizeof errorMesg - 1)> message_{};
    std::array<char, otpcli::platform::utf8Room(otpcli::kMaxHostNameBytes)> host_{};
};
