#include "LineReader.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "startup/Utf8Path.h"

namespace mirvok {
namespace {

constexpr int kCr = '\r';
constexpr int kLf = '\n';
constexpr char kEndOfFileMark = '\x1A';

bool InMarkTail(char c) { return c == kEndOfFileMark || c == '\r' || c == '\n'; }

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

LineReader::LineReader(const std::string& path) {
    const std::filesystem::path fsPath = PathFromUtf8(path);
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(fsPath, ec)) return;
    file_.open(fsPath, std::ios::binary);
    open_ = file_.is_open();
    if (open_) contentEnd_ = ContentLength(file_, kMarkSearchBytes);
}

bool LineReader::ReadLine(std::string& line) {
    line.clear();
    if (!open_ || AtEnd()) {
        failed_ = true;
        return false;
    }
    std::streambuf& buffer = *file_.rdbuf();
    using Traits = std::streambuf::traits_type;
    while (!AtContentEnd()) {
        const Traits::int_type c = buffer.sbumpc();
        if (Traits::eq_int_type(c, Traits::eof())) break;
        ++position_;
        if (c == kLf) break;
        if (c == kCr) {
            if (!AtContentEnd() && buffer.sgetc() == kLf) {
                buffer.sbumpc();
                ++position_;
            }
            break;
        }
        if (line.size() >= kMaxLineBytes) {
            failed_ = true;
            line.clear();
            return false;
        }
        line.push_back(Traits::to_char_type(c));
    }
    return true;
}

bool LineReader::AtEnd() {
    if (!open_ || AtContentEnd()) return true;
    using Traits = std::streambuf::traits_type;
    return Traits::eq_int_type(file_.rdbuf()->sgetc(), Traits::eof());
}

void LineReader::Close() {
    if (open_) file_.close();
    open_ = false;
}

}  // namespace mirvok
