// The eight requests as the class and the C interface both run them: from the
// object's configuration and the arguments as passed, to the outcome that the
// caller records in the object.
#pragma once

#include "requests/outcome.h"
#include "requests/text_argument.h"

namespace otpcli {

// What a request reads of the object it runs for.
struct RequestContext {
    RequestConfig config;
    NumberCheck checkNumber;
};

void requestIssue(const RequestContext& context, TextArgument userId, TextArgument codeText,
                  TextArgument valueText, Outcome& out) noexcept;
void requestReissue(const RequestContext& context, TextArgument userId, int identityForm,
                    TextArgument codeText, TextArgument valueText, Outcome& out) noexcept;
void requestCheck(const RequestContext& context, TextArgument userId, int identityForm,
                  TextArgument codeText, TextArgument valueText, Outcome& out) noexcept;
void requestAddsvcCheck(const RequestContext& context, TextArgument codeText,
                        TextArgument valueText, Outcome& out) noexcept;
void requestAuth(const RequestContext& context, TextArgument userId, int identityForm, int otpValue,
                 int authLevel, TextArgument extraText, Outcome& out) noexcept;
void requestJoin(const RequestContext& context, TextArgument userId, int identityForm,
                 Outcome& out) noexcept;
void requestClose(const RequestContext& context, TextArgument userId, int identityForm,
                  Outcome& out) noexcept;
void requestInitAuthErr(const RequestContext& context, TextArgument userId, int identityForm,
                        Outcome& out) noexcept;

}  // namespace otpcli
