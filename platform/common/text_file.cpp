// The text side of a File, the same on both halves: lines read through a
// buffer from whatever the half reads with, and "\n" written as CR LF.
#include "common_internal.h"

namespace plat::common {
namespace {

constexpr size_t kReadChunk = 65536;

}  // namespace

std::string WithCrLf(const std::string& text) {
    std::string converted;
    converted.reserve(text.size() + text.size() / 16 + 2);
    for (char c : text) {
        if (c == '\n') converted += '\r';
        converted += c;
    }
    return converted;
}

void LineReader::Reset(bool text) {
    text_ = text;
    buffer_.clear();
    position_ = 0;
    atEnd_ = false;
}

size_t LineReader::Available(size_t wanted, const Source& source) {
    while (buffer_.size() - position_ < wanted && !atEnd_) {
        buffer_.erase(0, position_);
        position_ = 0;
        const size_t had = buffer_.size();
        buffer_.resize(had + kReadChunk);
        const size_t got = source(buffer_.data() + had, kReadChunk);
        buffer_.resize(had + got);
        if (got == 0) atEnd_ = true;
    }
    return buffer_.size() - position_;
}

bool LineReader::SkipLineEnd(const Source& source) {
    if (Available(1, source) == 0) return false;
    if (buffer_[position_] == '\n') {
        ++position_;
        return true;
    }
    if (text_ && buffer_[position_] == '\r' && Available(2, source) >= 2 && buffer_[position_ + 1] == '\n') {
        position_ += 2;
        return true;
    }
    return false;
}

bool LineReader::ReadLine(std::string& line, size_t maxLength, const Source& source) {
    line.clear();
    if (maxLength == 0 || Available(1, source) == 0) return false;
    for (;;) {
        if (SkipLineEnd(source)) return true;
        if (Available(1, source) == 0) return true;  // a last line without line end
        // A full piece ends here. A line end right behind it was taken above,
        // so a line of exactly maxLength characters gives no empty piece after it.
        if (line.size() == maxLength) return true;
        line += buffer_[position_++];
    }
}

}  // namespace plat::common
