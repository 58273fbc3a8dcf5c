#include "JunitReport.h"

#include <cstdio>
#include <fstream>

#include "startup/Utf8Path.h"

namespace mirvok::station {
namespace {

std::string XmlText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                // XML 1.0 has no place for other control characters.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') out += c;
        }
    }
    return out;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

}  // namespace

std::string JunitReportText(const JunitSuite& suite) {
    const std::vector<JunitCase>& cases = suite.cases;
    int failures = 0;
    for (const JunitCase& c : cases) failures += c.exitCode != 0;
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n";
    xml += "  <testsuite name=\"mirvok-cli download\" tests=\"" + std::to_string(cases.size()) +
           "\" failures=\"" + std::to_string(failures) + "\" errors=\"0\" time=\"" + Seconds(suite.seconds) +
           "\">\n";
    for (const JunitCase& c : cases) {
        xml += "    <testcase classname=\"mirvok.download\" name=\"" + XmlText(c.name) + "\" time=\"" +
               Seconds(c.seconds) + "\"";
        if (c.exitCode == 0) {
            xml += "/>\n";
            continue;
        }
        xml += ">\n      <failure message=\"" + XmlText(c.ending) + " (exit " + std::to_string(c.exitCode) +
               ")\" type=\"" + XmlText(c.outcome) + "\">" + XmlText(c.text) + "</failure>\n    </testcase>\n";
    }
    return xml + "  </testsuite>\n</testsuites>\n";
}

bool WriteJunitReport(const std::string& path, const JunitSuite& suite) {
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out << JunitReportText(suite);
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace mirvok::station
