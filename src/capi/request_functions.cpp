// The eight requests of the C interface: UTF-8 arguments, the class's request
// code.
#include "capi/client_handle.h"

namespace {

using otpcli::Outcome;
using otpcli::RequestContext;
using otpcli::TextArgument;

TextArgument utf8(const char* text) noexcept {
    return TextArgument::fromUtf8(text);
}

// A request on the handle, with the given texts checked first; a null handle
// is refused before anything else.
template <typename Request>
otpcli_status runOn(otpcli_client* client, std::initializer_list<const char*> texts,
                    Request request) noexcept {
    if (client == nullptr) {
        return OTPCLI_E_POINTER;
    }
    return client->run(texts, request);
}

}  // namespace

extern "C" {

otpcli_status OTPCLI_CALL otpcli_issue(otpcli_client* client, const char* user_id,
                                       const char* code_text, const char* value_text) {
    return runOn(client, {user_id, code_text, value_text},
                 [&](const RequestContext& context, Outcome& out) noexcept {
                     otpcli::requestIssue(context, utf8(user_id), utf8(code_text), utf8(value_text),
                                          out);
                 });
}

otpcli_status OTPCLI_CALL otpcli_reissue(otpcli_client* client, const char* user_id,
                                         int identity_form, const char* code_text,
                                         const char* value_text) {
    return runOn(client, {user_id, code_text, value_text},
                 [&](const RequestContext& context, Outcome& out) noexcept {
                     otpcli::requestReissue(context, utf8(user_id), identity_form, utf8(code_text),
                                            utf8(value_text), out);
                 });
}

otpcli_status OTPCLI_CALL otpcli_check(otpcli_client* client, const char* user_id,
                                       int identity_form, const char* code_text,
                                       const char* value_text) {
    return runOn(client, {user_id, code_text, value_text},
                 [&](const RequestContext& context, Outcome& out) noexcept {
                     otpcli::requestCheck(context, utf8(user_id), identity_form, utf8(code_text),
                                          utf8(value_text), out);
                 });
}

otpcli_status OTPCLI_CALL otpcli_addsvc_check(otpcli_client* client, const char* code_text,
                                              const char* value_text) {
    return runOn(client, {code_text, value_text},
                 [&](const RequestContext& context, Outcome& out) noexcept {
                     otpcli::requestAddsvcCheck(context, utf8(code_text), utf8(value_text), out);
                 });
}

otpcli_status OTPCLI_CALL otpcli_auth(otpcli_client* client, const char* user_id, int identity_form,
                                      int otp_value, int auth_level, const char* extra_text) {
    return runOn(client, {user_id, extra_text},
                 [&](const RequestContext& context, Outcome& out) noexcept {
                     otpcli::requestAuth(context, utf8(user_id), identity_form, otp_value,
                                         auth_level, utf8(extra_text), out);
                 });
}

otpcli_status OTPCLI_CALL otpcli_join(otpcli_client* client, const char* user_id,
                                      int identity_form) {
    return runOn(client, {user_id}, [&](const RequestContext& context, Outcome& out) noexcept {
        otpcli::requestJoin(context, utf8(user_id), identity_form, out);
    });
}

otpcli_status OTPCLI_CALL otpcli_close(otpcli_client* client, const char* user_id,
                                       int identity_form) {
    return runOn(client, {user_id}, [&](const RequestContext& context, Outcome& out) noexcept {
        otpcli::requestClose(context, utf8(user_id), identity_form, out);
    });
}

otpcli_status OTPCLI_CALL otpcli_init_auth_err(otpcli_client* client, const char* user_id,
                                               int identity_form) {
    return runOn(client, {user_id}, [&](const RequestContext& context, Outcome& out) noexcept {
        otpcli::requestInitAuthErr(context, utf8(user_id), identity_form, out);
    });
}

}  // extern "C"
