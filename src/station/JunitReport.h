#pragma once
// The JUnit XML report of a station, for build servers that run the
// flashing: one test case per device attempt, a failure element with the
// ending and the exit code for each attempt that did not complete.

#include <string>
#include <vector>

namespace mirvok::station {

struct JunitCase {
    std::string name;  // "COM3 attempt 1", with --watch "COM3 connection 2 attempt 1"
    int exitCode = 0;
    std::string outcome;  // the exit code's name
    std::string ending;
    std::string text;
    double seconds = 0;
};

// The suite's time is the station's wall time: its devices run at once, so
// the sum of their times would say how long one device alone would take.
struct JunitSuite {
    std::vector<JunitCase> cases;
    double seconds = 0;
};

std::string JunitReportText(const JunitSuite& suite);

// Writes the report over the file; false when it cannot be written.
bool WriteJunitReport(const std::string& path, const JunitSuite& suite);

}  // namespace mirvok::station
