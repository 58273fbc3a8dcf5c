#include "CharacterCount.h"

namespace mirvok {

std::int32_t CharacterCount(const std::string& utf8) {
    std::int32_t count = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++count;  // continuation bytes belong to the character before
    return count;
}

}  // namespace mirvok
