#include "platform/portable/registry/regedit_format.h"

#include "platform/codepage.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace portable {
namespace {

constexpr size_t kWrapColumn = 76;
constexpr size_t kJournalLimit = 240;

std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

bool IsPlainString(std::string_view data) {
    if (data.empty() || data.back() != '\0')
        return false;
    data.remove_suffix(1);
    return data.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

// column: where prefix starts in its line (the name before it counts towards the width).
std::string HexData(std::string prefix, std::string_view data, bool wrap, size_t column) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out = std::move(prefix);
    out.reserve(out.size() + data.size() * 3 + data.size() / 8);
    column += out.size();
    for (size_t i = 0; i < data.size(); ++i) {
        auto byte = static_cast<unsigned char>(data[i]);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
        column += 2;
        if (i + 1 == data.size())
            break;
        out += ',';
        ++column;
        if (wrap && column >= kWrapColumn) {
            out += "\\\r\n  ";
            column = 2;
        }
    }
    return out;
}

std::string DataAt(DWORD type, std::string_view data, bool wrap, size_t column) {
    if (type == REG_SZ && IsPlainString(data))
        return "\"" + Escaped(data.substr(0, data.size() - 1)) + "\"";
    if (type == REG_DWORD && data.size() == 4) {
        char text[32];
        std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(DwordOf(data)));
        return text;
    }
    if (type == REG_BINARY)
        return HexData("hex:", data, wrap, column);
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
    return HexData(prefix, data, wrap, column);
}

} // namespace

std::string DwordData(DWORD number) {
    std::string bytes(4, '\0');
    for (size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    return bytes;
}

DWORD DwordOf(std::string_view data) {
    DWORD number = 0;
    for (size_t i = std::min<size_t>(data.size(), 4); i-- > 0;)
        number = number << 8 | static_cast<unsigned char>(data[i]);
    return number;
}

std::optional<RootName> FindRoot(std::string_view name) {
    static constexpr std::array<RootName, 3> kRoots = {{
        {"HKEY_LOCAL_MACHINE", false, kLocalMachineKey},
        {"HKEY_CURRENT_USER", false, kCurrentUserKey},
        {"HKEY_CLASSES_ROOT", true, 0},
    }};
    for (const auto& root : kRoots) {
        if (win::AnsiEqualsNoCase(root.name, name))
            return root;
    }
    return std::nullopt;
}

std::string QuotedName(std::string_view name) {
    if (name.empty())
        return "@";
    return "\"" + Escaped(name) + "\"";
}

std::string ValueData(DWORD type, std::string_view data, bool wrap) {
    return DataAt(type, data, wrap, 0);
}

std::string ValueLine(std::string_view name, DWORD type, std::string_view data, bool wrap) {
    std::string line = QuotedName(name) + "=";
    return line + DataAt(type, data, wrap, line.size());
}

std::string RegTypeName(DWORD type) {
    static constexpr std::string_view kNames[] = {"REG_NONE",      "REG_SZ",
                                                  "REG_EXPAND_SZ", "REG_BINARY",
                                                  "REG_DWORD",     "REG_DWORD_BIG_ENDIAN",
                                                  "REG_LINK",      "REG_MULTI_SZ"};
    if (type < std::size(kNames))
        return std::string(kNames[type]);
    return "REG_" + std::to_string(type);
}

std::string JournalValue(std::string_view name, DWORD type, std::string_view data) {
    std::string line = ValueLine(name, type, data, false);
    if (line.size() > kJournalLimit) {
        line.resize(kJournalLimit);
        line += "... (" + std::to_string(data.size()) + " bytes)";
    }
    return line;
}

} // namespace portable
