#pragma once
// Texts are UTF-8 in memory; carets and the lengths handed to the link count
// characters, not bytes.

#include <cstdint>
#include <string>

namespace mirvok {

std::int32_t CharacterCount(const std::string& utf8);

}  // namespace mirvok
