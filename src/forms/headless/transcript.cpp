#include "forms/headless/transcript.h"

#include "forms/program_end.h"

#include <cerrno>
#include <cstring>

namespace forms::headless {

std::unique_ptr<Transcript> Transcript::Open(const std::string& path) {
    auto transcript = std::make_unique<Transcript>();
    if (path.empty()) {
        transcript->file_ = stderr;
        return transcript;
    }
    transcript->file_ = std::fopen(path.c_str(), "w");
    if (!transcript->file_)
        throw BackendFailure("cannot create the transcript " + path + ": " + std::strerror(errno));
    transcript->ownsFile_ = true;
    return transcript;
}

Transcript::~Transcript() {
    if (ownsFile_)
        std::fclose(file_);
}

void Transcript::Write(const std::string& line) {
    lines_.push_back(line);
    if (!file_)
        return;
    std::fputs(line.c_str(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

} // namespace forms::headless
