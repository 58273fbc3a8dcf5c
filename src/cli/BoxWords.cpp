#include "BoxWords.h"

namespace mirvok::cli {
namespace {

struct IconRow {
    MsgIcon icon;
    const char* name;
};
constexpr IconRow kIcons[] = {
    {MsgIcon::None, "none"},
    {MsgIcon::Error, "error"},
    {MsgIcon::Warning, "warning"},
    {MsgIcon::Information, "information"},
};

struct AnswerRow {
    MsgResult answer;
    const char* name;
    const char* button;
};
constexpr AnswerRow kAnswers[] = {
    {MsgResult::OK, "ok", "OK"}, {MsgResult::Cancel, "cancel", "Cancel"}, {MsgResult::Yes, "yes", "Yes"},
    {MsgResult::No, "no", "No"}, {MsgResult::Retry, "retry", "Retry"},
};

const AnswerRow* RowOf(MsgResult answer) {
    for (const AnswerRow& row : kAnswers)
        if (row.answer == answer) return &row;
    return nullptr;
}

}  // namespace

const char* IconName(MsgIcon icon) {
    for (const IconRow& row : kIcons)
        if (row.icon == icon) return row.name;
    return "none";
}

const char* AnswerName(MsgResult answer) {
    const AnswerRow* row = RowOf(answer);
    return row ? row->name : "?";
}

const char* ButtonWord(MsgResult answer) {
    const AnswerRow* row = RowOf(answer);
    return row ? row->button : "?";
}

}  // namespace mirvok::cli
