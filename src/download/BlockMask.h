#pragma once
// Block selection: which of the nine 64 KiB ROM blocks a download sends.
// The mask is nine characters "1"/"0"; character k+1 stands for BLK_Address(k).

#include <string>

namespace mirvok {

struct FormState;
struct Window;

inline const std::string kWholeFileMask = "111111111";
inline const std::string kNoBlockMask = "000000000";
inline constexpr int kBlockCount = 9;

// Whether the text is a mask: nine characters, each "0" or "1".
inline bool IsBlockMask(const std::string& text) {
    return text.size() == static_cast<std::size_t>(kBlockCount) &&
           text.find_first_not_of("01") == std::string::npos;
}

// "111111111" while BLKCheck1 is cleared, whatever the nine boxes show;
// otherwise one character per box in index order.
std::string BuildBlockMask(const FormState& form);

// Enables or greys out Frame5 and the nine boxes after BLKCheck1; their
// values stay as they are, so an earlier choice comes back.
void BLKCheck1_Click(FormState& form);
void BLKCheck1_Click(Window& w);

// Whether a selective mask takes the line: an S1 line by character 1; an S2
// line by its address byte (characters 5-6): "00" to "07" by characters 1 to
// 8, anything from "08" on as text (including "0A" and "10") by character 9.
// Other record types belong to no block.
bool MaskSelects(const std::string& mask, const std::string& line);

// The mask character (0-based) that decides on the line; -1 for a line of no
// block.
int MaskIndexOf(const std::string& line);

}  // namespace mirvok
