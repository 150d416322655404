#include "forms/app_object.h"

#include "platform/codepage.h"
#include "platform/kernel32.h"

namespace forms::App {
namespace {

std::string& TitleText() {
    static std::string title;
    return title;
}

} // namespace

const std::string& Title() {
    return TitleText();
}

void SetTitle(std::string title) {
    TitleText() = std::move(title);
}

std::string Path() {
    char buffer[MAX_PATH] = {};
    DWORD n = win::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string module(buffer, n < MAX_PATH ? n : 0);
    size_t slash = module.find_last_of('\\');
    if (slash == std::string::npos)
        return {};
    std::string folder = module.substr(0, slash);
    if (folder.size() == 2 && folder[1] == ':')
        folder += '\\';
    return win::FromAnsi(folder);
}

std::string ArgumentText(std::string_view line) {
    size_t at = 0;
    if (!line.empty() && line[0] == '"') {
        size_t close = line.find('"', 1);
        at = close == std::string_view::npos ? line.size() : close + 1;
    }
    while (at < line.size() && line[at] != ' ' && line[at] != '\t')
        ++at;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
    return std::string(line.substr(at));
}

std::string Command() {
    return win::FromAnsi(ArgumentText(win::GetCommandLineA()));
}

} // namespace forms::App
