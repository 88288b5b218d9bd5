// The process's open file descriptors (handles on Windows), for tests that
// check nothing leaks.
#pragma once

namespace otpcli::test {

// How many descriptors the process has open now; -1 when it cannot be told.
int openDescriptorCount();

}  // namespace otpcli::test
