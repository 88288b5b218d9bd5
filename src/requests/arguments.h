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

}  // namespace otpcli
