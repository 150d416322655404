// lz32 as the program uses it: an SZDD file expands to its original, a plain file is
// copied, on the portable machine and on Windows.
#include "conformance/conformance_env.h"
#include "platform/kernel32.h"
#include "platform/lz32.h"
#include "support/szdd_literal.h"

#include <string>

namespace {

using testing_support::PackLiterally;

class Lz32 : public conformance::Test {
protected:
    // Expands from into to; LZCopy's result.
    LONG Expand(const std::string& from, const std::string& to) {
        OFSTRUCT open{};
        std::string source = env.Path(from);
        INT in = win::LZOpenFileA(source.data(), &open, OF_READ);
        EXPECT_GE(in, 0) << from;
        std::string target = env.Path(to);
        OFSTRUCT create{};
        INT out = win::LZOpenFileA(target.data(), &create, OF_CREATE);
        EXPECT_GE(out, 0) << to;
        LONG copied = win::LZCopy(in, out);
        win::LZClose(in);
        win::LZClose(out);
        return copied;
    }
};

TEST_F(Lz32, PackedFilesExpandAndPlainFilesAreCopied) {
    std::string text = "Liesmich: Dovek's Zepanu's 1.0 f\xFCr Windows 95.\r\n";
    env.Write("LIESMICH.TX_", PackLiterally(text));
    EXPECT_EQ(Expand("LIESMICH.TX_", "Liesmich.txt"), static_cast<LONG>(text.size()));
    EXPECT_EQ(env.Read("Liesmich.txt"), text);

    env.Write("plain.bin", std::string("MZ\0\x01\xff plain", 11));
    EXPECT_EQ(Expand("plain.bin", "copy.bin"), 11);
    EXPECT_EQ(env.Read("copy.bin"), std::string("MZ\0\x01\xff plain", 11));
}

TEST_F(Lz32, AMissingSourceCannotBeOpened) {
    OFSTRUCT open{};
    std::string source = env.Path("FEHLT.EX_");
    EXPECT_LT(win::LZOpenFileA(source.data(), &open, OF_READ), 0);
}

} // namespace
