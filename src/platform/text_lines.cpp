#include "platform/text_lines.h"

#include "platform/codepage.h"

#include <algorithm>
#include <cstring>

namespace win {

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        if (lf == std::string_view::npos)
            break;
        text.remove_prefix(lf + 1);
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines)
        out += line + "\r\n";
    return out;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::string_view TrimLeftBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view TrimRightBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view TrimBlanks(std::string_view s) {
    return TrimRightBlanks(TrimLeftBlanks(s));
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && AnsiEqualsNoCase(s.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           AnsiEqualsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

ByteSource SourceOf(std::string_view text) {
    return [text](char* buffer, size_t size) mutable -> std::ptrdiff_t {
        size_t n = std::min(size, text.size());
        std::memcpy(buffer, text.data(), n);
        text.remove_prefix(n);
        return static_cast<std::ptrdiff_t>(n);
    };
}

LineReader::LineReader(ByteSource source) : source_(std::move(source)), buffer_(64 * 1024) {}

bool LineReader::Fill() {
    if (eof_)
        return false;
    std::ptrdiff_t n = source_(buffer_.data(), buffer_.size());
    if (n <= 0) {
        failed_ = n < 0;
        eof_ = true;
        return false;
    }
    at_ = 0;
    end_ = static_cast<size_t>(n);
    return true;
}

bool LineReader::Next(std::string& line) {
    if (pending_ && !FinishCut(nullptr))
        return false;
    raw_.clear();
    cut_ = false;
    ending_ = {};
    bool any = false;
    for (;;) {
        if (at_ == end_ && !Fill()) {
            if (failed_ || !any)
                return false;
            break; // the last line, without an end
        }
        any = true;
        const char* from = buffer_.data() + at_;
        size_t available = end_ - at_;
        const char* lf = static_cast<const char*>(std::memchr(from, '\n', available));
        size_t upTo = lf ? static_cast<size_t>(lf - from) : available;
        size_t room = kMaxLine + 1 - raw_.size(); // one more for a CR before the LF
        if (upTo > room) {
            raw_.append(from, room);
            at_ += room;
            cut_ = pending_ = true;
            line = raw_;
            return true;
        }
        raw_.append(from, upTo);
        at_ += upTo;
        if (lf) {
            ++at_;
            ending_ = "\n";
            break;
        }
    }
    std::string_view text = raw_;
    if (!ending_.empty() && text.ends_with('\r'))
        text.remove_suffix(1);
    if (text.size() > kMaxLine) {
        text = text.substr(0, kMaxLine);
        cut_ = true;
    }
    line.assign(text);
    return true;
}

bool LineReader::FinishCut(const ByteSink* sink) {
    pending_ = false;
    for (;;) {
        if (at_ == end_ && !Fill()) {
            ending_ = {};
            return !failed_;
        }
        const char* from = buffer_.data() + at_;
        size_t available = end_ - at_;
        const char* lf = static_cast<const char*>(std::memchr(from, '\n', available));
        size_t take = lf ? static_cast<size_t>(lf - from) + 1 : available;
        at_ += take;
        if (sink && !(*sink)(std::string_view(from, take)))
            return false;
        if (lf) {
            ending_ = "\n";
            return true;
        }
    }
}

bool LineReader::CopyLine(const ByteSink& sink) {
    if (!sink(raw_))
        return false;
    if (pending_)
        return FinishCut(&sink);
    return ending_.empty() || sink(ending_);
}

bool BufferedSink::Write(std::string_view bytes) {
    if (!ok_)
        return false;
    if (buffer_.size() + bytes.size() > kBlock && !Flush())
        return false;
    if (bytes.size() >= kBlock)
        return ok_ = sink_(bytes);
    buffer_.append(bytes);
    return true;
}

bool BufferedSink::Flush() {
    if (ok_ && !buffer_.empty())
        ok_ = sink_(buffer_);
    buffer_.clear();
    return ok_;
}

} // namespace win
