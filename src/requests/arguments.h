// Conversion of a request's text arguments.
#pragma once

#include "client/ansi_text.h"
#include "requests/outcome.h"

namespace otpcli {

// Converts a text argument (not null); sets out to A001 when its memory cannot
// be had.
inline bool convertArgument(AnsiText& text, const unsigned short* argument, Outcome& out) noexcept {
    if (!text.assign(argument)) {
        out.set(kOutOfMemory);
        return false;
    }
    return true;
}

// Converts the identity argument and, when a resident registration number is
// expected, tests it with checkNumber (P003 when it fails).
template <typename CheckNumber>
bool convertIdentity(AnsiText& id, const unsigned short* userId, bool numberExpected,
                     CheckNumber checkNumber, Outcome& out) noexcept {
    if (!convertArgument(id, userId, out)) {
        return false;
    }
    if (numberExpected && !checkNumber(id.c_str())) {
        out.set(kBadResidentNumber);
        return false;
    }
    return true;
}

// Converts the two texts of the code-and-value pair.
inline bool convertCodeAndValue(AnsiText& code, AnsiText& value, const unsigned short* codeText,
                                const unsigned short* valueText, Outcome& out) noexcept {
    return convertArgument(code, codeText, out) && convertArgument(value, valueText, out);
}

}  // namespace otpcli
