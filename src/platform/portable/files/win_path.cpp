#include "platform/portable/files/win_path.h"

#include "platform/codepage.h"
#include "platform/portable/files/short_name.h"

namespace portable {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool HasWildcard(std::string_view s) {
    return s.find_first_of("*?") != std::string_view::npos;
}

std::string_view TrimTrailingDotsAndBlanks(std::string_view s) {
    if (s == "." || s == "..")
        return s;
    while (!s.empty() && (s.back() == '.' || s.back() == ' '))
        s.remove_suffix(1);
    return s;
}

void SplitInto(std::string_view text, std::vector<std::string>& parts) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = start;
        while (end < text.size() && !IsSeparator(text[end]))
            ++end;
        if (end > start)
            parts.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace

std::string WinPath::ToString() const {
    std::string out{drive, ':'};
    if (components.empty())
        return out + "\\";
    for (const auto& c : components)
        out += "\\" + c;
    return out;
}

DWORD ParseWinPath(std::string_view path, std::string_view currentDir, WinPath& out,
                   bool allowWildcardLeaf) {
    out = WinPath{};
    if (path.empty())
        return ERROR_INVALID_NAME;
    if (path.size() >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return ERROR_INVALID_NAME; // UNC and \\.\ device paths: no network, no devices

    std::vector<std::string> raw;
    std::string_view rest = path;
    if (path.size() >= 2 && path[1] == ':') {
        if (!IsLetter(path[0]))
            return ERROR_INVALID_NAME;
        out.drive = static_cast<char>(win::AnsiUpper(static_cast<unsigned char>(path[0])));
        rest = path.substr(2);
        bool sameDrive = currentDir.size() >= 2 &&
                         win::AnsiUpper(static_cast<unsigned char>(currentDir[0])) == out.drive;
        if (!rest.empty() && IsSeparator(rest[0])) {
            // absolute on that drive
        } else if (sameDrive) {
            SplitInto(currentDir.substr(2), raw); // "C:foo" is relative to C:'s folder
        }
    } else {
        if (currentDir.size() < 2 || currentDir[1] != ':')
            return ERROR_INVALID_NAME;
        out.drive = static_cast<char>(win::AnsiUpper(static_cast<unsigned char>(currentDir[0])));
        if (!IsSeparator(path[0]))
            SplitInto(currentDir.substr(2), raw);
    }
    if (out.drive < 'A' || out.drive > 'Z')
        return ERROR_INVALID_DRIVE;

    out.trailingSeparator = !rest.empty() && IsSeparator(rest.back());
    std::vector<std::string> given;
    SplitInto(rest, given);

    for (size_t i = 0; i < given.size(); ++i) {
        bool leaf = i + 1 == given.size();
        std::string_view part = TrimTrailingDotsAndBlanks(given[i]);
        if (part == "." || part.empty())
            continue; // "a\.\b" and "a\...\b" (dots only) both name a
        if (part == "..") {
            if (!raw.empty())
                raw.pop_back(); // clamped at the root, as Win32 does
            continue;
        }
        if (part.size() > 255)
            return ERROR_FILENAME_EXCED_RANGE;
        if (HasWildcard(part) && !(leaf && allowWildcardLeaf))
            return ERROR_INVALID_NAME;
        std::string checked(part);
        if (HasWildcard(part)) {
            for (char& c : checked) {
                if (c == '*' || c == '?')
                    c = 'x';
            }
        }
        if (!IsValidLongName(checked))
            return ERROR_INVALID_NAME;
        raw.emplace_back(part);
    }
    out.components = std::move(raw);
    if (out.ToString().size() >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    return ERROR_SUCCESS;
}

} // namespace portable
