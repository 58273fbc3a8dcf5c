#pragma once
// The operator's text for the result of a link library call.

#include <cstdint>
#include <string>

namespace mirvok {

// The text for the code of the named crw function, ending in the code in
// parentheses. A known function with a code it does not return gives the
// empty text; an unknown name (letter case counts) gives the text for an
// invalid return code.
std::string ReturnCodeMessage(std::int16_t code, const std::string& functionName);

}  // namespace mirvok
