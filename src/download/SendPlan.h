#pragma once
// The send plan: which lines of an S-record file a download sends under a
// block mask, after which of them the 2-second block pause falls, and whether
// the end-of-file byte closes the transfer. It is worked out one line at a
// time as the file is read and keeps a few fields, never the file, so that
// the transfer engine, the file check and the progress totals all make one
// and the same choice however large the file is.

#include <cstdint>
#include <functional>
#include <string>

namespace mirvok {

class SendPlan {
public:
    explicit SendPlan(std::string mask);

    // The whole-file mask takes every non-empty line, of any record type.
    bool WholeFile() const { return wholeFile_; }

    // The counting pass: a counted line counts towards the progress bar's
    // maximum (a line that LineRefused names makes the transfer give 2011
    // before anything is sent).
    bool Counts(const std::string& line) const;

    // The sending pass, for every line in file order as it is read.
    enum class Step {
        ReadOn,  // passed over: a selective mask reads on to the next line
        Empty,   // an empty line: nothing goes out for it
        Send,    // the line goes out
    };
    struct Choice {
        Step step = Step::ReadOn;
        bool counted = false;     // a line of a chosen block: the progress moves on
        bool pauseAfter = false;  // the first line of a new 64 KiB block
    };
    // `last`: no byte of the file follows the line.
    Choice Next(const std::string& line, bool last);
    // The counted lines chosen so far.
    std::int32_t Taken() const { return taken_; }

private:
    bool PauseAfter(const std::string& line);

    std::string mask_;
    bool wholeFile_;
    std::int32_t taken_ = 0;
    std::string previousKey_;
};

// A whole file run through the plan without a device: what a download of it
// would come to.
struct SendTotals {
    bool opened = false;
    // What the engine returns before the first line goes out, or 2000 when it
    // would send: 2010 file not opened, 2011 a refused line or a read failure,
    // 1 nothing to send under the mask.
    std::int16_t engineResult = 0;
    int refusedLine = 0;  // the first refused line (0: a read failure or none)
    int lines = 0;        // every line read, empty ones included
    int emptyLines = 0;
    int linesCounted = 0;        // the counting pass: the progress bar's maximum
    int linesSent = 0;           // lines that would go out, closing lines included
    std::int64_t bytesSent = 0;  // each line with CR LF, then the end-of-file byte
    int blockPauses = 0;
};

// What the walk shows of each line as it goes.
struct PlannedLine {
    const std::string& text;
    int number;  // counting every line of the file from 1
    SendPlan::Choice choice;
};

// Reads the file once, line by line, as the engine splits it.
SendTotals PlanFile(const std::string& path, const std::string& mask,
                    const std::function<void(const PlannedLine&)>& onLine = {});

}  // namespace mirvok
