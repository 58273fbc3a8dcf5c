#pragma once
// How an operation of the window ended, for the command line: the exit code
// and one line for the operator, read from the typed result the window model
// leaves when an operation ends. One table here maps every ending to its code.

#include <string>

namespace mirvok {
struct OperationResult;
}

namespace mirvok::cli {

struct Outcome {
    int exitCode = 0;
    std::string text;  // one line for the operator
};

// The outcome of the window's last operation. A link failure that caused the
// ending outranks it: DSR off (112) gives power-off and CTS (111) cts-off,
// whichever step it happened in. An ending the table does not know (an
// operation that did not end) is unclassified.
Outcome OutcomeOf(const OperationResult& result);

}  // namespace mirvok::cli
