// Arbitrary bytes as a line of a station child's event stream, read as the
// station reads it: the object, the members it takes by kind, the record it
// writes back. Whatever the line holds, nothing may crash or throw, and a
// line that is taken must write back to a line that reads again to the same
// text (so an audit record rewritten twice stays the same).
//
// Input: one line.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "startup/JsonRead.h"

namespace {

using namespace mirvok;

void Check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    auto event = ReadJsonObject(line);
    if (!event) return 0;
    for (const char* key :
         {"event", "text", "address", "ending", "percent", "exit_code", "bytes_per_second"}) {
        (void)JsonStringMember(*event, key);
        (void)JsonIntMember(*event, key);
        (void)JsonNumberMember(*event, key);
    }
    if (const JsonValue* record = JsonObjectMember(*event, "record")) {
        const std::string text = JsonText(*record);
        Check(ReadJsonObject(text).has_value());
    }
    (*event)["exit_code"] = 0;
    (*event)["ending"] = "completed";
    const std::string written = JsonText(*event);
    const auto again = ReadJsonObject(written);
    Check(again.has_value());
    Check(JsonText(*again) == written);
    return 0;
}
