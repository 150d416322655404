// A JSON syntax check for the tests of documents the tools print.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace testing_support {

// A JSON syntax check (RFC 8259): true when text is exactly one well-formed value.
class JsonCheck {
public:
    static bool WellFormed(std::string_view text) {
        JsonCheck check(text);
        return check.Value() && (check.Blanks(), check.at_ == text.size());
    }

private:
    explicit JsonCheck(std::string_view s) : s_(s) {}
    void Blanks() {
        while (at_ < s_.size() && std::string_view(" \t\r\n").find(s_[at_]) != std::string::npos)
            ++at_;
    }
    bool Eat(char c) {
        Blanks();
        if (at_ >= s_.size() || s_[at_] != c)
            return false;
        ++at_;
        return true;
    }
    bool Value() {
        Blanks();
        if (at_ >= s_.size())
            return false;
        char c = s_[at_];
        if (c == '{')
            return List('{', '}', true);
        if (c == '[')
            return List('[', ']', false);
        if (c == '"')
            return String();
        for (std::string_view word : {"true", "false", "null"}) {
            if (s_.substr(at_, word.size()) == word)
                return (at_ += word.size(), true);
        }
        return Number();
    }
    bool List(char open, char close, bool object) {
        Eat(open);
        if (Eat(close))
            return true;
        do {
            if (object && !(Blanks(), String()))
                return false;
            if (object && !Eat(':'))
                return false;
            if (!Value())
                return false;
        } while (Eat(','));
        return Eat(close);
    }
    bool String() {
        if (at_ >= s_.size() || s_[at_++] != '"')
            return false;
        while (at_ < s_.size()) {
            auto c = static_cast<unsigned char>(s_[at_++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return false;
            if (c != '\\')
                continue;
            if (at_ >= s_.size())
                return false;
            char e = s_[at_++];
            if (e == 'u') {
                for (int i = 0; i < 4; ++i, ++at_) {
                    if (at_ >= s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[at_])))
                        return false;
                }
            } else if (std::string_view("\"\\/bfnrt").find(e) == std::string::npos) {
                return false;
            }
        }
        return false;
    }
    bool Number() {
        size_t start = at_;
        if (at_ < s_.size() && s_[at_] == '-')
            ++at_;
        while (at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_])))
            ++at_;
        return at_ > start && std::isdigit(static_cast<unsigned char>(s_[at_ - 1]));
    }

    std::string_view s_;
    size_t at_ = 0;
};

} // namespace testing_support
