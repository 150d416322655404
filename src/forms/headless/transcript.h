// The transcript of a headless run: one line per event the user would have seen
// (show FORM [modal], unload FORM, caption FORM.CONTROL "TEXT", progress FORM PERCENT,
// msgbox STYLE "TEXT" -> ANSWER, end). Written to a file, to stderr, or kept in memory.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace forms::headless {

class Transcript {
public:
    // Lines kept in memory only.
    Transcript() = default;
    // Lines written to path (created anew), or to stderr when path is empty. Throws
    // BackendFailure when the file cannot be created.
    static std::unique_ptr<Transcript> Open(const std::string& path);
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    void Write(const std::string& line);
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::FILE* file_ = nullptr;
    bool ownsFile_ = false;
    std::vector<std::string> lines_;
};

} // namespace forms::headless
