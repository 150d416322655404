// Lines of the Windows text files the program and the machine edit (WININIT.INI,
// SYSTEM.INI, ...): read with CR LF or a lone LF, written with CR LF.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace win {

std::vector<std::string> SplitLines(std::string_view text);
// Each line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
// Without leading and trailing blanks and tabs; without the leading or the trailing ones.
std::string_view TrimBlanks(std::string_view s);
std::string_view TrimLeftBlanks(std::string_view s);
std::string_view TrimRightBlanks(std::string_view s);
// Whether s begins or ends with affix, Windows-1252 letters compared without case.
bool StartsWithNoCase(std::string_view s, std::string_view prefix);
bool EndsWithNoCase(std::string_view s, std::string_view suffix);

// Fills buffer with up to size bytes: how many, 0 at the end, negative on a read error.
using ByteSource = std::function<std::ptrdiff_t(char* buffer, size_t size)>;
// Takes bytes; false when they cannot be written.
using ByteSink = std::function<bool(std::string_view bytes)>;

ByteSource SourceOf(std::string_view text);

// The lines of a text of any size, one at a time: memory stays bounded by kMaxLine and the
// read buffer whatever the text holds.
class LineReader {
public:
    // Longer lines are cut: Next gives their start only. No path or entry is that long.
    static constexpr size_t kMaxLine = 8192;

    explicit LineReader(ByteSource source);

    // The next line without its end (CR LF, LF, or none at the end of the text); false at
    // the end or on a read error (Failed).
    bool Next(std::string& line);
    // Writes the line Next gave, its end included, byte for byte (a cut one whole).
    bool CopyLine(const ByteSink& sink);

    bool Cut() const { return cut_; }
    // Whether the line Next gave ended the text without a line end (for a cut line, known
    // once CopyLine has copied it).
    bool Open() const { return ending_.empty() && !pending_; }
    bool Failed() const { return failed_; }

private:
    bool Fill();
    // Passes over (or to sink) the rest of a cut line, its end included.
    bool FinishCut(const ByteSink* sink);

    ByteSource source_;
    std::vector<char> buffer_;
    size_t at_ = 0, end_ = 0;
    bool eof_ = false, failed_ = false;
    std::string raw_; // the line's bytes as read, without the LF
    std::string_view ending_;
    bool cut_ = false, pending_ = false;
};

// Collects bytes into blocks before they go to sink, so that a text written line by line
// costs a write per block.
class BufferedSink {
public:
    explicit BufferedSink(ByteSink sink) : sink_(std::move(sink)) {}
    bool Write(std::string_view bytes);
    bool Flush();
    ByteSink AsSink() {
        return [this](std::string_view bytes) { return Write(bytes); };
    }

private:
    static constexpr size_t kBlock = 64 * 1024;
    ByteSink sink_;
    std::string buffer_;
    bool ok_ = true;
};

} // namespace win
