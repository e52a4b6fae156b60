#include "platform/line_reader.h"

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

}  // namespace

LineReader::LineReader(std::FILE* in) : in_(in), block_(new char[BLOCK]) {}

bool LineReader::fill()
{
    if (at_end_) {
        return false;
    }
    errno = 0;
    end_ = std::fread(block_.get(), 1, BLOCK, in_);
    begin_ = 0;
    if (end_ < BLOCK) {
        at_end_ = true;
        if (std::ferror(in_)) {
            reason_ = errno != 0 ? std::strerror(errno) : "read failed";
        }
    }
    if (first_ && end_ > 0) {
        first_ = false;
        if (std::string_view(block_.get(), end_).starts_with(BYTE_ORDER_MARK)) {
            begin_ = BYTE_ORDER_MARK.size();
        }
    }
    return end_ > begin_;
}

LineReader::Got LineReader::next(std::string_view& line)
{
    carry_.clear();
    bool too_long = false;
    while (true) {
        if (begin_ == end_ && !fill()) {
            if (!reason_.empty()) {
                return Got::error;
            }
            if (carry_.empty() && !too_long) {
                return Got::end;
            }
            ++number_;  // the last line, without an end of line
            line = carry_;
            return too_long ? Got::too_long : Got::line;
        }
        const std::string_view data(block_.get() + begin_, end_ - begin_);
        const std::size_t newline = data.find('\n');
        const std::string_view piece = data.substr(0, newline);
        begin_ += newline == std::string_view::npos ? data.size() : newline + 1;
        if (!too_long && carry_.size() + piece.size() > MAX_LINE) {
            too_long = true;
            carry_.clear();
        }
        if (newline != std::string_view::npos) {
            ++number_;
            if (too_long) {
                return Got::too_long;
            }
            if (carry_.empty()) {
                line = piece;
            } else {
                carry_.append(piece);
                line = carry_;
            }
            return Got::line;
        }
        if (!too_long) {
            carry_.append(piece);
        }
    }
}

}  // namespace platform
