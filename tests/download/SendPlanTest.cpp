// The send plan over whole files: which lines go out under a mask, which are
// counted for the progress bar, where the block pauses fall and what the
// transfer would come to. The engine's own tests hold it to this plan.

#include <gtest/gtest.h>

#include "download/SendPlan.h"
#include "support/SRecordMaker.h"
#include "support/TempDir.h"

namespace mirvok {
namespace {

using test::JoinLines;
using test::S0;
using test::S1;
using test::S2;
using test::S8;
using test::S9;

TEST(SendPlan, ChoosesTheLinesThePausesAndTheResult) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::string mask;
        std::string sent;    // per line: 's' sent, 'c' sent and counted, '-' not sent
        std::string pauses;  // per line: 'p' where a pause follows
        std::int16_t result;
    };
    const Case cases[] = {
        {"whole file: every line, any type",
         {S0(), S1(0x10), S1(0x20), S9()},
         "111111111",
         "cccc",
         "----",
         2000},
        {"S1 block with its closing S9", {S0(), S1(0x10), S1(0x20), S9()}, "100000000", "-ccs", "----", 2000},
        {"an S9 before anything was taken is passed over",
         {S0(), S9(), S2(0x000000), S2(0x010000), S2(0x020000), S2(0x020010), S2(0x0A0000), S8()},
         "001000000",
         "----cc-s",
         "-------p",
         2000},
        {"the ninth block from 08 on, 0A included",
         {S2(0x070000), S2(0x080000), S2(0x0A0000), S2(0x100000)},
         "000000001",
         "-ccc",
         "--pp",
         2000},
        {"a pause after the first line of every new block",
         {S2(0x000000), S2(0x000010), S2(0x010000), S2(0x010010), S2(0x020000), S8()},
         "111111111",
         "cccccc",
         "--p-pp",
         2000},
        {"empty lines are neither sent nor counted",
         {S1(0x10), "", S1(0x20), ""},
         "111111111",
         "c-c-",
         "----",
         2000},
        {"the last line goes out though no block takes it, its key 00 a new block",
         {S2(0x010000), S0()},
         "010000000",
         "cs",
         "-p",
         2000},
        {"a last line of data in a block not chosen stays back",
         {S2(0x000000), S2(0x010000)},
         "100000000",
         "c-",
         "--",
         2000},
        {"so does a last S3 line, which no block takes",
         {S1(0x10), test::MakeRecord('3', 0x20, 4, {1})},
         "100000000",
         "c-",
         "--",
         2000},
        {"a last count record goes out",
         {S1(0x10), test::MakeRecord('5', 1, 2, {})},
         "100000000",
         "cs",
         "--",
         2000},
        {"nothing in the chosen block",
         {S0(), S2(0x000000), S2(0x000010), S8()},
         "010000000",
         "---s",
         "----",
         1},
        {"a line that is no record", {S1(0x10), "note", S9()}, "111111111", "ccc", "-p-", 2011},
        {"a control character in a record", {S1(0x10) + "\x11", S9()}, "100000000", "cs", "--", 2011},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string sent, pauses;
        const SendTotals totals =
            PlanFile(dir.Write("f.s28", JoinLines(c.lines)), c.mask, [&](const PlannedLine& l) {
                const bool goes = l.choice.step == SendPlan::Step::Send;
                sent += goes ? (l.choice.counted ? 'c' : 's') : '-';
                pauses += l.choice.pauseAfter ? 'p' : '-';
            });
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(pauses, c.pauses);
        EXPECT_EQ(totals.engineResult, c.result);
        int counted = 0, linesSent = 0;
        std::int64_t bytes = c.result == 2000 ? 1 : 0;
        for (std::size_t i = 0; i < sent.size(); ++i) {
            counted += sent[i] == 'c';
            if (sent[i] != '-') {
                ++linesSent;
                bytes += static_cast<std::int64_t>(c.lines[i].size()) + 2;
            }
        }
        EXPECT_EQ(totals.linesCounted, counted);
        EXPECT_EQ(totals.linesSent, linesSent);
        EXPECT_EQ(totals.bytesSent, bytes);
    }
    EXPECT_EQ(PlanFile(dir.File("missing.s28"), "111111111").engineResult, 2010);
}

}  // namespace
}  // namespace mirvok
