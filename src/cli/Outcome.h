#pragma once
// How an operation of the window ended, read from what the window showed:
// the message boxes, in order, with the status line at each. The window
// reports its outcomes to the operator only, so these texts are the record.

#include <string>
#include <vector>

#include "CliHost.h"

namespace mirvok {
struct FormState;
}

namespace mirvok::cli {

struct Outcome {
    int exitCode = 0;
    std::string text;  // one line for the operator
};

struct DownloadFacts {
    bool terminalMode = false;
    bool stopConfirmed = false;  // StopRequested was 1 when the sequence ended
};

Outcome DownloadOutcome(const std::vector<ShownBox>& boxes, const DownloadFacts& facts);

Outcome DswOutcome(const std::vector<ShownBox>& boxes, const FormState& form);

// The version text is returned in `version` on success.
Outcome VersionOutcome(const std::vector<ShownBox>& boxes, std::string& version);

enum class FromKind { Backup, Recovery };
Outcome FromOutcome(const std::vector<ShownBox>& boxes, FromKind kind);

// The switch banks as the switch picture shows them: bit i-1 is switch i.
int DswBankValue(const FormState& form, int bank);

}  // namespace mirvok::cli
