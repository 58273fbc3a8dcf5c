// mirvok --help and --version: recognised only as the whole command line,
// which otherwise names one file.

#include <gtest/gtest.h>

#include "ui/qt/ProgramInfo.h"

namespace mirvok {
namespace {

TEST(ProgramInfo, HelpAndVersionCountOnlyAlone) {
    const struct {
        std::vector<std::string> args;
        InfoRequest expected;
    } rows[] = {
        {{}, InfoRequest::None},
        {{"--help"}, InfoRequest::Help},
        {{"--version"}, InfoRequest::Version},
        {{"--help", "me.s28"}, InfoRequest::None},  // a file named with blanks: "--help me.s28"
        {{"my", "--version"}, InfoRequest::None},
        {{"-h"}, InfoRequest::None},
        {{"rom.mot"}, InfoRequest::None},
    };
    for (const auto& row : rows)
        EXPECT_EQ(InfoRequestOf(row.args), row.expected) << testing::PrintToString(row.args);
}

TEST(ProgramInfo, HelpNamesTheSettingsFile) {
    const std::string text = WindowHelpText("/home/op/.config/mirvok/Mirvok.ini");
    EXPECT_EQ(text.rfind("Usage: mirvok", 0), 0u);
    EXPECT_NE(text.find("Settings file: /home/op/.config/mirvok/Mirvok.ini\n"), std::string::npos);
}

}  // namespace
}  // namespace mirvok
