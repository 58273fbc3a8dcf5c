#pragma once
// The model's UTF-8 texts as the UTF-16 strings of the Windows W functions,
// and back. Invalid UTF-8 becomes replacement characters, never a failure.

#include <string>

namespace mirvok {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

}  // namespace mirvok
