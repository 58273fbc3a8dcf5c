#include "BlockMask.h"

#include "SRecordLine.h"
#include "window/FormState.h"
#include "window/Window.h"

namespace mirvok {
namespace {

constexpr int kLastBlock = kBlockCount - 1;

// The mask position (0-based) of an S2 line's address byte; -1 for none.
// A byte below "08" that is not two decimal digits (a damaged line) lies in
// no block rather than in a block picked from its stray characters.
int S2BlockIndex(const std::string& line) {
    const std::string key = BlockKey(line);
    if (key >= "08") return kLastBlock;
    if (key.size() == 2 && key[0] == '0' && key[1] >= '0' && key[1] <= '7') return key[1] - '0';
    return -1;
}

bool MaskCharacterSet(const std::string& mask, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < mask.size() &&
           mask[static_cast<std::size_t>(index)] == '1';
}

}  // namespace

std::string BuildBlockMask(const FormState& form) {
    if (form.BLKCheck1.Value == 0) return kWholeFileMask;
    std::string mask;
    for (int k = 0; k <= kLastBlock; ++k) mask += form.BLK_Address[k].Value == 1 ? '1' : '0';
    return mask;
}

void BLKCheck1_Click(FormState& form) {
    const bool enable = form.BLKCheck1.Value == 1;
    form.Frame5.Enabled = enable;
    for (int k = 0; k <= kLastBlock; ++k) form.BLK_Address[k].Enabled = enable;
}

void BLKCheck1_Click(Window& w) {
    BLKCheck1_Click(w.form);
}

int MaskIndexOf(const std::string& line) {
    switch (RecordKindOf(line)) {
        case RecordKind::S1:
            return 0;
        case RecordKind::S2:
            return S2BlockIndex(line);
        default:
            return -1;
    }
}

bool MaskSelects(const std::string& mask, const std::string& line) {
    return MaskCharacterSet(mask, MaskIndexOf(line));
}

}  // namespace mirvok
