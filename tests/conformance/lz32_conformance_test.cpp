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

// OF_DELETE deletes as OpenFile does; a file that cannot go is reported, never passed off.
// After a failure the real call (seen under Wine) looks for the packed name too (FEST.TX_),
// and the record tells of that search; the portable machine leaves that lookup out.
TEST_F(Lz32, TheDeleteStyleDeletesTheFile) {
    env.Write("WEG.TXT", "x");
    env.Write("FEST.TXT", "x");
    ASSERT_TRUE(win::SetFileAttributesA(env.Path("FEST.TXT").c_str(), FILE_ATTRIBUTE_READONLY));
    struct Row {
        const char* name;
        bool deleted;
        WORD error;
        WORD windowsError;
    };
    const Row rows[] = {
        {"WEG.TXT", true, ERROR_SUCCESS, ERROR_SUCCESS},
        {"FEHLT.TXT", false, ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
        {"FEST.TXT", false, ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = env.Path(row.name);
        OFSTRUCT record{};
        INT rc = win::LZOpenFileA(path.data(), &record, OF_DELETE);
        EXPECT_EQ(rc >= 0, row.deleted) << rc;
        EXPECT_EQ(record.nErrCode, conformance::OnWindows() ? row.windowsError : row.error);
        if (row.deleted) {
            EXPECT_STRCASEEQ(record.szPathName, path.c_str());
        }
    }
    EXPECT_FALSE(env.Exists("WEG.TXT"));
    EXPECT_TRUE(env.Exists("FEST.TXT"));
}

} // namespace
