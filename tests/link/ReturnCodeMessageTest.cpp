#include <gtest/gtest.h>

#include <map>
#include <set>

#include "link/ReturnCodeMessage.h"

namespace mirvok {
namespace {

using Texts = std::map<int, std::string>;

const std::string kReceiveError = "受信時のWIN32APIエラー発生(201)";

// Written out per function from the operators' message list, not derived from
// the code's tables.
const std::map<std::string, Texts>& Expected() {
    static const std::map<std::string, Texts> expected = [] {
        const Texts sendCommand = {
            {0, "肯定（ACK）応答(0)"},
            {1, "否定（NAK）応答(1)"},
            {100, "パラメータエラー(100)"},
            {101, "ポート未オープンエラー(101)"},
            {110, "ACK/NAK待ちタイムアウト(110)"},
            {111, "CTSオン待ちタイムアウト(111)"},
            {112, "DSRオフエラー（端末未接続／電源オフ）(112)"},
            {200, "送信時のWIN32APIエラー発生(200)"},
            {201, kReceiveError + std::string(20, ' ')},
        };
        const Texts receiveData = {
            {0, "データ受信あり(0)"},
            {1, "データ受信なし(1)"},
            {100, "パラメータエラー(100)"},
            {101, "ポート未オープンエラー(101)"},
            {112, "DSRオフエラー（端末未接続／電源オフ）(112)"},
            {120, "BCC エラーリトライオーバー(120)"},
            {130, "受信バッファのサイズを越えるデータを受信(130)"},
            {201, kReceiveError + " "},
        };
        Texts receiveBinary = receiveData;
        receiveBinary[0] = "正常終了(0)";
        const Texts sendDataQR = {
            {0, "正常終了(0)"},
            {100, "パラメータエラー(100)"},
            {101, "ポート未オープンエラー(101)"},
            {111, "CTSオン待ちタイムアウト(111)"},
            {112, "DSRオフエラー（端末未接続／電源オフ）(112)"},
            {200, "送信時のWIN32APIエラー発生(200)"},
        };
        const Texts sendWithReply = {
            {0, "データ受信あり(0)"},
            {1, "データ受信なし(1)"},
            {100, "パラメータエラー(100)"},
            {101, "ポート未オープンエラー(101)"},
            {110, "ACK/NAK待ちタイムアウト(110)"},
            {111, "CTSオン待ちタイムアウト(111)"},
            {112, "DSRオフエラー（端末未接続／電源オフ）(112)"},
            {120, "BCC エラーリトライオーバー(120)"},
            {130, "受信バッファのサイズを越えるデータを受信(130)"},
            {200, "送信時のWIN32APIエラー発生(200)"},
            {201, kReceiveError + "    "},
        };
        const Texts receiveResponse = {
            {0, "レスポンスデータ(\"A\")受信(0)"},       {1, "レスポンスデータ(\"R\")受信(1)"},
            {2, "レスポンスデータ(\"B\")受信(2)"},       {100, "パラメータエラー(100)"},
            {101, "ポート未オープンエラー(101)"},        {110, "ACK/NAK待ちタイムアウト(110)"},
            {111, "CTSオン待ちタイムアウト(111)"},       {112, "DSRオフエラー（端末未接続／電源オフ）(112)"},
            {120, "BCC エラーリトライオーバー(120)"},    {200, "送信時のWIN32APIエラー発生(200)"},
            {201, kReceiveError + std::string(20, ' ')},
        };
        return std::map<std::string, Texts>{
            {"crwOpenPort",
             {{0, "オープン正常完了(0)"},
              {1, "指定したポートは既にオープンされています。(1)"},
              {100, "パラメータエラー(100)"},
              {101, "オープン不可「他のプロセスがポートを使用中」(101)"}}},
            {"crwClosePort",
             {{0, "クローズ正常完了(0)"},
              {1, "指定したポートは既にクローズされています。(1)"},
              {100, "パラメータエラー(100)"}}},
            {"crwSendCommand", sendCommand},
            {"crwSendDataWR", sendCommand},
            {"crwSendBinaryData", sendCommand},
            {"crwReceiveResponse", receiveResponse},
            {"crwSendDataQR", sendDataQR},
            {"crwSendBinaryDataQR", sendDataQR},
            {"crwReceiveData", receiveData},
            {"crwReceiveBinaryReport", receiveBinary},
            {"crwReceiveBinaryData", receiveBinary},
            {"crwSendDataRR", sendWithReply},
            {"crwSendBinaryCommandRR", sendWithReply},
        };
    }();
    return expected;
}

TEST(ReturnCodeMessage, EveryListedCodeHasItsTextAndEveryOtherCodeNone) {
    // Every listed code, its neighbours and the extremes, for every function.
    std::set<int> probes = {-32768, -1, 32767};
    for (const auto& [name, texts] : Expected())
        for (const auto& [code, text] : texts) probes.insert({code - 1, code, code + 1});
    for (const auto& [name, texts] : Expected()) {
        for (int code : probes) {
            const auto listed = texts.find(code);
            const std::string expected = listed == texts.end() ? "" : listed->second;
            EXPECT_EQ(ReturnCodeMessage(static_cast<std::int16_t>(code), name), expected)
                << name << " " << code;
        }
    }
}

TEST(ReturnCodeMessage, UnknownNamesAreMatchedExactly) {
    for (const std::string name : {"crwopenport", "CRWOPENPORT", "crwOpenPort ", "", "crwGetPortNames"})
        for (std::int16_t code : {0, 1, 101, -1})
            EXPECT_EQ(ReturnCodeMessage(code, name), "不正なリターンコードです。") << name << " " << code;
}

}  // namespace
}  // namespace mirvok
