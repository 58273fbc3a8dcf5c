#include "ComPortClient.h"

#include <algorithm>
#include <vector>

#include "ComPortOption.h"

namespace mirvok::remote {
namespace {

using namespace telnet;

std::string ValueText(unsigned char code, std::string_view value) {
    switch (code) {
        case comport::kSetBaudRate:
            if (const auto baud = comport::BaudOf(value)) return std::to_string(*baud);
            break;
        case comport::kSetParity:
            if (value.size() == 1)
                if (const auto letter = comport::ParityLetter(static_cast<unsigned char>(value[0])))
                    return std::string(1, *letter);
            break;
        default:
            if (value.size() == 1) return std::to_string(static_cast<unsigned char>(value[0]));
            break;
    }
    return "?";
}

constexpr const char* kSettingNames[] = {"baud rate", "data bits", "parity", "stop bits"};
constexpr unsigned char kSettingCodes[] = {comport::kSetBaudRate, comport::kSetDataSize, comport::kSetParity,
                                           comport::kSetStopSize};

}  // namespace

std::string ComPortClient::Start() {
    std::string out;
    auto ask = [&](std::array<OptionState, 256>& side, unsigned char verb, unsigned char option) {
        side[option] = OptionState{true, true, false};
        out += Negotiation(verb, option);
    };
    ask(ours_, kWill, kOptionComPort);
    ask(ours_, kWill, kOptionBinary);
    ask(theirs_, kDo, kOptionBinary);
    ask(ours_, kWill, kOptionSuppressGoAhead);
    ask(theirs_, kDo, kOptionSuppressGoAhead);
    return out;
}

std::string ComPortClient::Configure(const LineSettings& settings) {
    const unsigned char parity = comport::ParityCode(settings.parity).value_or(1);
    const std::string values[] = {comport::BaudValue(static_cast<std::uint32_t>(settings.baud)),
                                  std::string(1, static_cast<char>(settings.dataBits)),
                                  std::string(1, static_cast<char>(parity)),
                                  std::string(1, static_cast<char>(settings.stopBits == 2 ? 2 : 1))};
    // The mask first: a server that reports the lines on it does so ahead of
    // the answers to the settings, which the opening waits for.
    const unsigned char mask = comport::kDsr | comport::kCts | comport::kDeltaDsr | comport::kDeltaCts;
    std::string out = comport::Command(comport::kSetModemStateMask, std::string(1, static_cast<char>(mask)));
    // A server that can tell when its transmitter has sent the last byte
    // reports it, and the end of a transfer waits for it.
    out += comport::Command(comport::kSetLineStateMask,
                            std::string(1, static_cast<char>(comport::kTransmitterEmpty)));
    for (std::size_t i = 0; i < asked_.size(); ++i) {
        asked_[i] = values[i];
        answered_[i] = false;
        out += comport::Command(kSettingCodes[i], values[i]);
    }
    out += comport::Command(comport::kSetControl, std::string(1, comport::kControlNoFlowControl));
    out += comport::Command(comport::kPurgeData, std::string(1, comport::kPurgeBoth));
    purgeAsked_ = true;
    purgeAnswered_ = false;
    return out;
}

bool ComPortClient::SettingsAnswered() const {
    for (std::size_t i = 0; i < answered_.size(); ++i)
        if (asked_[i] && !answered_[i]) return false;
    return purgeAnswered_;
}

void ComPortClient::Receive(std::string_view wire, std::string& data, std::string& reply) {
    const std::size_t from = data.size();
    std::vector<Event> events;
    decoder_.Feed(wire, data, events);
    // The new data counts from the purge answer (or from the start) up to a
    // failure (or to the end).
    const auto passing = [&] { return !discarding_ && failure_.empty(); };
    std::size_t passFrom = passing() ? from : data.size();
    std::size_t passUntil = data.size();
    for (const Event& event : events) {
        const bool wasPassing = passing();
        OnEvent(event, reply);
        if (!wasPassing && passing()) passFrom = event.at;
        if (wasPassing && !passing()) passUntil = event.at;
    }
    passUntil = std::max(passUntil, passFrom);
    data.erase(passUntil);
    data.erase(from, passFrom - from);
}

void ComPortClient::OnEvent(const Event& event, std::string& reply) {
    if (!failure_.empty()) return;
    switch (event.kind) {
        case Event::Kind::Negotiation:
            OnNegotiation(event.verb, event.option, reply);
            break;
        case Event::Kind::Subnegotiation:
            if (event.option == kOptionComPort) OnComPortAnswer(event.payload);
            break;
        case Event::Kind::OverlongSubnegotiation:
            failure_ = "the server sent a subnegotiation (Telnet option " + std::to_string(event.option) +
                       ") longer than " + std::to_string(kMaxSubnegotiationBytes) +
                       " bytes: the data after it can't be told apart";
            break;
    }
}

// A small form of the Q method (RFC 1143): an answer to our own request is
// not answered again, and a state only changes once, so two ends can never
// keep answering each other.
void ComPortClient::OnNegotiation(unsigned char verb, unsigned char option, std::string& reply) {
    const bool aboutUs = verb == kDo || verb == kDont;
    OptionState& state = aboutUs ? ours_[option] : theirs_[option];
    const bool enable = verb == kDo || verb == kWill;
    const unsigned char yes = aboutUs ? kWill : kDo;
    const unsigned char no = aboutUs ? kWont : kDont;
    if (option == kOptionComPort && !aboutUs) {
        // The server offers to perform the option itself, which a client has
        // no use for; its WONT after our DONT is the acknowledgement, not a
        // refusal of ours.
        if (enable) {
            if (!state.enabled && !declinedComPortOffer_) reply += Negotiation(no, option);
            declinedComPortOffer_ = true;
        } else if (declinedComPortOffer_) {
            declinedComPortOffer_ = false;
        } else if (comPort_ == Agreement::Pending) {
            comPort_ = Agreement::Refused;
        }
        return;
    }
    if (option == kOptionBinary && !enable && state.wanted) binaryRefused_ = true;
    if (enable) {
        if (!state.wanted) {
            reply += Negotiation(no, option);
        } else if (!state.enabled) {
            if (!state.pending) reply += Negotiation(yes, option);
            state.enabled = true;
        }
        state.pending = false;
    } else {
        if (state.enabled) reply += Negotiation(no, option);
        state.enabled = false;
        state.pending = false;
    }
    if (aboutUs && option == kOptionComPort)
        comPort_ = state.enabled ? Agreement::Agreed : Agreement::Refused;
}

void ComPortClient::OnComPortAnswer(std::string_view payload) {
    if (payload.empty()) return;
    const unsigned char code = static_cast<unsigned char>(payload[0]);
    const std::string_view value = payload.substr(1);
    switch (code - comport::kServerOffset) {
        case comport::kNotifyModemState:
            if (value.size() == 1) OnModemState(static_cast<unsigned char>(value[0]));
            return;
        case comport::kPurgeData:
            // One that no purge of ours asked for ends nothing.
            if (purgeAsked_) purgeAnswered_ = true;
            if (purgeAnswered_) discarding_ = false;
            return;
        case comport::kFlowControlSuspend:
            flowSuspended_ = true;
            return;
        case comport::kFlowControlResume:
            flowSuspended_ = false;
            return;
        default:
            break;
    }
    if (code == comport::kServerOffset + comport::kNotifyLineState) {
        if (value.size() == 1) OnLineState(static_cast<unsigned char>(value[0]));
        return;
    }
    for (std::size_t i = 0; i < asked_.size(); ++i)
        if (code == comport::kServerOffset + kSettingCodes[i]) CheckAnswer(static_cast<Setting>(i), value);
}

void ComPortClient::CheckAnswer(Setting setting, std::string_view value) {
    const auto i = static_cast<std::size_t>(setting);
    if (!asked_[i] || answered_[i]) return;
    answered_[i] = true;
    if (value == *asked_[i] || !refusal_.empty()) return;
    refusal_ = std::string(kSettingNames[i]) + " " + ValueText(kSettingCodes[i], *asked_[i]) +
               " (server: " + ValueText(kSettingCodes[i], value) + ")";
}

void ComPortClient::OnLineState(unsigned char state) {
    transmitterEmpty_ = (state & comport::kTransmitterEmpty) != 0;
    if (transmitterEmpty_) transmitterReported_ = true;
}

void ComPortClient::OnModemState(unsigned char state) {
    lines_.dsr = (state & comport::kDsr) != 0;
    lines_.cts = (state & comport::kCts) != 0;
}

}  // namespace mirvok::remote
