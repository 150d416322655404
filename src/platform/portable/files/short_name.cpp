#include "platform/portable/files/short_name.h"

#include "platform/codepage.h"

#include <array>

namespace portable {
namespace {

bool IsForbiddenInLongName(unsigned char c) {
    if (c < 0x20)
        return true;
    switch (c) {
    case '\\':
    case '/':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
        return true;
    default:
        return false;
    }
}

// Characters an 8.3 alias may hold as they are (after upper-casing).
bool IsShortNameChar(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return true;
    if (c >= '0' && c <= '9')
        return true;
    switch (c) {
    case '$':
    case '%':
    case '\'':
    case '-':
    case '_':
    case '@':
    case '~':
    case '`':
    case '!':
    case '(':
    case ')':
    case '{':
    case '}':
    case '^':
    case '#':
    case '&':
        return true;
    default:
        break;
    }
    // Latin-1 letters and signs exist in the OEM code page; the Windows-1252 additions in
    // 0x80..0x9F (typographic quotes, euro sign, ...) and the no-break space do not.
    return c >= 0xA1;
}

std::string Tail(unsigned number) {
    return "~" + std::to_string(number);
}

} // namespace

bool IsDeviceName(std::string_view ansiName) {
    std::string upper = win::AnsiUpper(ansiName.substr(0, ansiName.find('.')));
    while (!upper.empty() && upper.back() == ' ')
        upper.pop_back();
    static constexpr std::array<std::string_view, 5> kPlain = {"CON", "PRN", "AUX", "NUL",
                                                               "CLOCK$"};
    for (auto device : kPlain) {
        if (upper == device)
            return true;
    }
    bool numbered = upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT"));
    return numbered && upper[3] >= '1' && upper[3] <= '9';
}

bool IsValidLongName(std::string_view name) {
    if (name.empty() || name.size() > 255)
        return false;
    for (char c : name) {
        if (IsForbiddenInLongName(static_cast<unsigned char>(c)))
            return false;
    }
    if (name.find_first_not_of(". ") == std::string_view::npos)
        return false;
    return !IsDeviceName(name);
}

std::string MakeShortName(std::string_view longName,
                          const std::function<bool(std::string_view)>& taken,
                          std::unordered_map<std::string, unsigned>* nextTail) {
    std::string upper = win::AnsiUpper(longName);
    bool lossy = false;

    // Blanks go everywhere, dots lead nowhere; both make the alias differ from the name.
    std::string cleaned;
    for (char c : upper) {
        if (c == ' ') {
            lossy = true;
            continue;
        }
        if (c == '.' && cleaned.empty()) {
            lossy = true;
            continue;
        }
        cleaned += c;
    }

    size_t lastDot = cleaned.rfind('.');
    std::string_view base = cleaned;
    std::string_view ext;
    if (lastDot != std::string::npos) {
        base = std::string_view(cleaned).substr(0, lastDot);
        ext = std::string_view(cleaned).substr(lastDot + 1);
    }

    auto convert = [&lossy](std::string_view part, size_t limit) {
        std::string out;
        for (char c : part) {
            auto u = static_cast<unsigned char>(c);
            if (u == '.') { // dots before the last one are dropped
                lossy = true;
                continue;
            }
            if (out.size() == limit) {
                lossy = true;
                break;
            }
            if (!IsShortNameChar(u)) {
                u = '_';
                lossy = true;
            }
            out += static_cast<char>(u);
        }
        return out;
    };
    std::string shortBase = convert(base, 8);
    std::string shortExt = convert(ext, 3);
    if (shortBase.empty()) {
        shortBase = "_";
        lossy = true;
    }
    // A name like "Readme.txt" only changes case: no tail needed.
    auto join = [&shortExt](const std::string& b) {
        return shortExt.empty() ? b : b + "." + shortExt;
    };
    std::string plain = join(shortBase);
    if (!lossy && !taken(plain))
        return plain;

    unsigned first = 1;
    if (nextTail) {
        if (auto it = nextTail->find(plain); it != nextTail->end())
            first = it->second;
    }
    for (unsigned n = first; n <= 999999; ++n) {
        std::string tail = Tail(n);
        std::string candidate = join(shortBase.substr(0, 8 - tail.size()) + tail);
        if (taken(candidate))
            continue;
        if (nextTail)
            (*nextTail)[plain] = n + 1;
        return candidate;
    }
    if (nextTail)
        (*nextTail)[plain] = 1000000;
    return {};
}

} // namespace portable
