#include "TelnetCodec.h"

namespace mirvok::remote::telnet {

void Decoder::Feed(std::string_view wire, std::string& data, std::vector<Event>& events) {
    for (const char c : wire) FeedByte(static_cast<unsigned char>(c), data, events);
}

void Decoder::FeedByte(unsigned char byte, std::string& data, std::vector<Event>& events) {
    switch (state_) {
        case State::Data:
            if (byte == kIac)
                state_ = State::Iac;
            else
                data += static_cast<char>(byte);
            return;
        case State::Iac:
            state_ = State::Data;
            if (byte == kIac) {
                data += static_cast<char>(kIac);
            } else if (byte >= kWill && byte <= kDont) {
                verb_ = byte;
                state_ = State::Verb;
            } else if (byte == kSb) {
                state_ = State::SbOption;
            }
            return;
        case State::Verb:
            events.push_back(Event{Event::Kind::Negotiation, verb_, byte, {}, data.size()});
            state_ = State::Data;
            return;
        case State::SbOption:
            sbOption_ = byte;
            sbPayload_.clear();
            sbOverlong_ = false;
            state_ = State::SbData;
            return;
        case State::SbData:
            if (byte == kIac)
                state_ = State::SbIac;
            else
                AddToSubnegotiation(byte, data, events);
            return;
        case State::SbIac:
            if (byte == kSe) {
                EndSubnegotiation(data, events);
                state_ = State::Data;
            } else {
                // IAC IAC is a 0xFF of the payload. Anything else after IAC is
                // a peer that broke off its subnegotiation: taken as its end.
                if (byte == kIac) {
                    AddToSubnegotiation(kIac, data, events);
                    state_ = State::SbData;
                    return;
                }
                EndSubnegotiation(data, events);
                state_ = State::Iac;
                FeedByte(byte, data, events);
            }
            return;
    }
}

void Decoder::AddToSubnegotiation(unsigned char byte, const std::string& data, std::vector<Event>& events) {
    if (sbPayload_.size() < kMaxSubnegotiationBytes) {
        sbPayload_ += static_cast<char>(byte);
    } else if (!sbOverlong_) {
        sbOverlong_ = true;
        sbPayload_.clear();
        events.push_back(Event{Event::Kind::OverlongSubnegotiation, 0, sbOption_, {}, data.size()});
    }
}

// An overlong one was reported when it passed the limit; its end says nothing more.
void Decoder::EndSubnegotiation(const std::string& data, std::vector<Event>& events) {
    if (!sbOverlong_)
        events.push_back(
            Event{Event::Kind::Subnegotiation, 0, sbOption_, std::move(sbPayload_), data.size()});
    sbPayload_.clear();
}

std::string EscapeData(std::string_view data) {
    std::string out;
    out.reserve(data.size() + 8);
    for (const char c : data) {
        out += c;
        if (static_cast<unsigned char>(c) == kIac) out += c;
    }
    return out;
}

std::string Negotiation(unsigned char verb, unsigned char option) {
    return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

std::string Subnegotiation(unsigned char option, std::string_view payload) {
    std::string out{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(option)};
    out += EscapeData(payload);
    out += static_cast<char>(kIac);
    out += static_cast<char>(kSe);
    return out;
}

}  // namespace mirvok::remote::telnet
