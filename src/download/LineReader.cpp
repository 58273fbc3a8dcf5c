#include "LineReader.h"

#include <filesystem>
#include <system_error>

#include "Utf8Path.h"

namespace mirvok {
namespace {

constexpr int kCr = '\r';
constexpr int kLf = '\n';

}  // namespace

LineReader::LineReader(const std::string& path) {
    const std::filesystem::path fsPath = PathFromUtf8(path);
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(fsPath, ec)) return;
    file_.open(fsPath, std::ios::binary);
    open_ = file_.is_open();
}

bool LineReader::ReadLine(std::string& line) {
    line.clear();
    if (!open_ || AtEnd()) {
        failed_ = true;
        return false;
    }
    std::streambuf& buffer = *file_.rdbuf();
    using Traits = std::streambuf::traits_type;
    for (;;) {
        const Traits::int_type c = buffer.sbumpc();
        if (Traits::eq_int_type(c, Traits::eof())) break;
        if (c == kLf) break;
        if (c == kCr) {
            if (buffer.sgetc() == kLf) buffer.sbumpc();
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
    if (!open_) return true;
    using Traits = std::streambuf::traits_type;
    return Traits::eq_int_type(file_.rdbuf()->sgetc(), Traits::eof());
}

void LineReader::Close() {
    if (open_) file_.close();
    open_ = false;
}

}  // namespace mirvok
