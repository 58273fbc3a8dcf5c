#pragma once
// The JUnit XML report of a station, for build servers that run the
// flashing: one test case per device attempt, a failure element with the
// ending and the exit code for each attempt that did not complete.

#include <string>
#include <vector>

namespace mirvok::station {

struct JunitCase {
    std::string name;  // "COM3 attempt 1"
    int exitCode = 0;
    std::string outcome;  // the exit code's name
    std::string ending;
    std::string text;
    double seconds = 0;
};

std::string JunitReportText(const std::vector<JunitCase>& cases);

// Writes the report over the file; false when it cannot be written.
bool WriteJunitReport(const std::string& path, const std::vector<JunitCase>& cases);

}  // namespace mirvok::station
