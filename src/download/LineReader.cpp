#include "LineReader.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "ControlBytes.h"
#include "startup/Utf8Path.h"

namespace mirvok {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kEndOfFileMark = '\x1A';

bool IsLineEnd(char c) {
    return c == kCr || c == kLf;
}

// The end of the line that starts at `from`: its CR or LF, or `to`.
const char* LineEndFrom(const char* from, const char* to) {
    const char* at = FirstControlByte(from, to);
    while (at < to && !IsLineEnd(*at)) at = FirstControlByte(at + 1, to);
    return at;
}

bool InMarkTail(char c) {
    return c == kEndOfFileMark || c == '\r' || c == '\n';
}

// The length of the file without its end-of-file mark: the first 0x1A of the
// run of 0x1A, CR and LF bytes the file ends with. A file that cannot seek
// (a pipe) is taken to its end.
std::uint64_t ContentLength(std::ifstream& file, std::size_t searchBytes) {
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 0) {
        file.clear();
        return UINT64_MAX;
    }
    const std::streamoff window = std::min<std::streamoff>(size, static_cast<std::streamoff>(searchBytes));
    std::string tail(static_cast<std::size_t>(window), '\0');
    file.seekg(size - window);
    file.read(tail.data(), window);
    file.clear();
    file.seekg(0);
    std::size_t i = tail.size();
    std::size_t mark = std::string::npos;
    while (i > 0 && InMarkTail(tail[i - 1]))
        if (tail[--i] == kEndOfFileMark) mark = i;
    const auto length = static_cast<std::uint64_t>(size);
    return mark == std::string::npos ? length : length - tail.size() + mark;
}

}  // namespace

LineReader::LineReader(const std::string& path, bool digest) : digesting_(digest) {
    const std::filesystem::path fsPath = PathFromUtf8(path);
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(fsPath, ec)) return;
    file_.open(fsPath, std::ios::binary);
    open_ = file_.is_open();
    if (!open_) return;
    contentEnd_ = ContentLength(file_, kMarkSearchBytes);
    buffer_.resize(kBufferBytes);
}

bool LineReader::Available() {
    if (next_ < end_) return true;
    if (!open_ || failed_ || filled_ >= contentEnd_) return false;
    const std::uint64_t wanted = std::min<std::uint64_t>(buffer_.size(), contentEnd_ - filled_);
    file_.read(buffer_.data(), static_cast<std::streamsize>(wanted));
    next_ = 0;
    end_ = static_cast<std::size_t>(file_.gcount());
    filled_ += end_;
    if (digesting_) digest_.Update(buffer_.data(), end_);
    if (file_.bad()) failed_ = true;
    return end_ > 0;
}

bool LineReader::Append(std::string& line, const char* from, const char* to) {
    const auto count = static_cast<std::size_t>(to - from);
    if (line.size() + count > kMaxLineBytes) {
        failed_ = true;
        line.clear();
        return false;
    }
    line.append(from, count);
    return true;
}

bool LineReader::ReadLine(std::string& line) {
    line.clear();
    if (!open_ || failed_ || AtEnd()) {
        failed_ = true;
        return false;
    }
    while (Available()) {
        const char* begin = buffer_.data() + next_;
        const char* stop = buffer_.data() + end_;
        const char* lineEnd = LineEndFrom(begin, stop);
        if (!Append(line, begin, lineEnd)) return false;
        next_ += static_cast<std::size_t>(lineEnd - begin);
        if (lineEnd == stop) continue;  // the line goes on in the next piece
        ++next_;
        if (*lineEnd == kCr && Available() && buffer_[next_] == kLf) ++next_;
        ++lines_;
        return true;
    }
    if (failed_) return false;
    ++lines_;
    return true;
}

bool LineReader::AtEnd() {
    return !Available();
}

FileFingerprint LineReader::Fingerprint() {
    if (digesting_ && !tailDigested_ && open_ && !failed_) {
        tailDigested_ = true;
        file_.clear();
        std::vector<char> tail(kBufferBytes);
        do {
            file_.read(tail.data(), static_cast<std::streamsize>(tail.size()));
            digest_.Update(tail.data(), static_cast<std::size_t>(file_.gcount()));
        } while (file_.gcount() > 0);
        if (file_.bad()) failed_ = true;
    }
    return FileFingerprint{lines_, digest_.Final()};
}

void LineReader::Close() {
    if (open_) file_.close();
    open_ = false;
    next_ = end_ = 0;
    buffer_.clear();
    buffer_.shrink_to_fit();
}

}  // namespace mirvok
