#include "DownloadReceiver.h"

namespace mirvok::sim {

void DownloadReceiver::Begin() {
    *this = DownloadReceiver{};
}

bool DownloadReceiver::Take(char byte) {
    if (finished_) return true;
    if (byte == kEndOfFile) {
        if (!partial_.empty()) {
            lines_.push_back(partial_);
            partial_.clear();
            Reject("line not ended by CR LF before the end-of-file byte");
        }
        finished_ = true;
        return true;
    }
    if (byte != '\n') {
        partial_.push_back(byte);
        return false;
    }
    const bool crlf = !partial_.empty() && partial_.back() == '\r';
    if (crlf) partial_.pop_back();
    EndLine(crlf);
    return false;
}

bool DownloadReceiver::Take(std::string_view bytes) {
    while (!finished_ && !bytes.empty()) {
        // The bytes before a line end or the end-of-file byte only gather.
        const std::size_t special = LineOrFileEnd(bytes);
        partial_.append(bytes.substr(0, special));
        if (special == std::string_view::npos) break;
        Take(bytes[special]);
        bytes.remove_prefix(special + 1);
    }
    return finished_;
}

void DownloadReceiver::EndLine(bool endedByCrLf) {
    lines_.push_back(partial_);
    partial_.clear();
    if (!endedByCrLf) {
        Reject("line ended by LF without CR");
        return;
    }
    SRecord record;
    const SRecordFault fault = ParseSRecord(lines_.back(), record);
    if (fault != SRecordFault::None) {
        Reject(SRecordFaultText(fault));
        return;
    }
    if (IsDataRecord(record.type)) {
        image_.Write(record.address, record.data);
        ++dataRecords_;
    }
}

void DownloadReceiver::Reject(const std::string& reason) {
    bad_.push_back(BadRecord{lines_.size() - 1, lines_.back(), reason});
}

}  // namespace mirvok::sim
