#include "ReturnCodeMessage.h"

#include <array>
#include <span>
#include <string_view>

namespace mirvok {
namespace {

struct CodeText {
    std::int16_t code;
    std::string_view text;
};

// Texts shared by several functions.
constexpr std::string_view kParameterError = "パラメータエラー(100)";
constexpr std::string_view kPortNotOpen = "ポート未オープンエラー(101)";
constexpr std::string_view kAckNakTimeout = "ACK/NAK待ちタイムアウト(110)";
constexpr std::string_view kCtsTimeout = "CTSオン待ちタイムアウト(111)";
constexpr std::string_view kDsrOff = "DSRオフエラー（端末未接続／電源オフ）(112)";
constexpr std::string_view kBccRetryOver = "BCC エラーリトライオーバー(120)";
constexpr std::string_view kBufferOverrun = "受信バッファのサイズを越えるデータを受信(130)";
constexpr std::string_view kSendApiError = "送信時のWIN32APIエラー発生(200)";
constexpr std::string_view kDataReceived = "データ受信あり(0)";
constexpr std::string_view kNoData = "データ受信なし(1)";
constexpr std::string_view kNormalEnd = "正常終了(0)";
// The receive-error texts differ only in their trailing blanks, which belong
// to them (they pad the message box).
constexpr std::string_view kReceiveApiError20 = "受信時のWIN32APIエラー発生(201)                    ";
constexpr std::string_view kReceiveApiError1 = "受信時のWIN32APIエラー発生(201) ";
constexpr std::string_view kReceiveApiError4 = "受信時のWIN32APIエラー発生(201)    ";

constexpr std::string_view kUnknownFunction = "不正なリターンコードです。";

constexpr std::array<CodeText, 4> kOpenPort{{
    {0, "オープン正常完了(0)"},
    {1, "指定したポートは既にオープンされています。(1)"},
    {100, kParameterError},
    {101, "オープン不可「他のプロセスがポートを使用中」(101)"},
}};

constexpr std::array<CodeText, 3> kClosePort{{
    {0, "クローズ正常完了(0)"},
    {1, "指定したポートは既にクローズされています。(1)"},
    {100, kParameterError},
}};

constexpr std::array<CodeText, 9> kSendCommand{{
    {0, "肯定（ACK）応答(0)"},
    {1, "否定（NAK）応答(1)"},
    {100, kParameterError},
    {101, kPortNotOpen},
    {110, kAckNakTimeout},
    {111, kCtsTimeout},
    {112, kDsrOff},
    {200, kSendApiError},
    {201, kReceiveApiError20},
}};

constexpr std::array<CodeText, 11> kReceiveResponse{{
    {0, "レスポンスデータ(\"A\")受信(0)"},
    {1, "レスポンスデータ(\"R\")受信(1)"},
    {2, "レスポンスデータ(\"B\")受信(2)"},
    {100, kParameterError},
    {101, kPortNotOpen},
    {110, kAckNakTimeout},
    {111, kCtsTimeout},
    {112, kDsrOff},
    {120, kBccRetryOver},
    {200, kSendApiError},
    {201, kReceiveApiError20},
}};

constexpr std::array<CodeText, 6> kSendDataQR{{
    {0, kNormalEnd},
    {100, kParameterError},
    {101, kPortNotOpen},
    {111, kCtsTimeout},
    {112, kDsrOff},
    {200, kSendApiError},
}};

constexpr std::array<CodeText, 8> kReceiveData{{
    {0, kDataReceived},
    {1, kNoData},
    {100, kParameterError},
    {101, kPortNotOpen},
    {112, kDsrOff},
    {120, kBccRetryOver},
    {130, kBufferOverrun},
    {201, kReceiveApiError1},
}};

constexpr std::array<CodeText, 11> kSendWithReply{{
    {0, kDataReceived},
    {1, kNoData},
    {100, kParameterError},
    {101, kPortNotOpen},
    {110, kAckNakTimeout},
    {111, kCtsTimeout},
    {112, kDsrOff},
    {120, kBccRetryOver},
    {130, kBufferOverrun},
    {200, kSendApiError},
    {201, kReceiveApiError4},
}};

struct FunctionTexts {
    std::string_view name;
    std::span<const CodeText> texts;
    std::string_view successText = {};  // when not empty, the text for code 0 instead of the table's
};

constexpr std::array<FunctionTexts, 13> kFunctions{{
    {"crwOpenPort", kOpenPort},
    {"crwClosePort", kClosePort},
    {"crwSendCommand", kSendCommand},
    {"crwSendDataWR", kSendCommand},
    {"crwSendBinaryData", kSendCommand},
    {"crwReceiveResponse", kReceiveResponse},
    {"crwSendDataQR", kSendDataQR},
    {"crwSendBinaryDataQR", kSendDataQR},
    {"crwReceiveData", kReceiveData},
    // The binary receive calls share the data receive texts but for code 0.
    {"crwReceiveBinaryReport", kReceiveData, kNormalEnd},
    {"crwReceiveBinaryData", kReceiveData, kNormalEnd},
    {"crwSendDataRR", kSendWithReply},
    {"crwSendBinaryCommandRR", kSendWithReply},
}};

}  // namespace

std::string ReturnCodeMessage(std::int16_t code, const std::string& functionName) {
    for (const FunctionTexts& function : kFunctions) {
        if (function.name != functionName) continue;
        if (code == 0 && !function.successText.empty()) return std::string(function.successText);
        for (const CodeText& entry : function.texts)
            if (entry.code == code) return std::string(entry.text);
        return std::string();
    }
    return std::string(kUnknownFunction);
}

}  // namespace mirvok
