// lz32 on the portable machine: LZOpenFileA, LZCopy and LZClose as a setup program calls
// them. Records and buffers are poisoned before each call so untouched fields show.
#include "platform/kernel32.h"
#include "platform/lz32.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::TempDir;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

// Made by Debian's mscompress 0.4 from the 24 bytes "hello hello hello world\n".
const std::string kPacked("SZDD\x88\xF0\x27\x33\x41\x00\x18\x00\x00\x00\xbf"
                          "hello \xf0\xf9\x77\x1forld\n",
                          30);
const std::string kExpanded = "hello hello hello world\n";

constexpr DWORD kPoisonError = 0xDEADBEEF;

class Lz32 : public ::testing::Test {
protected:
    fs::path Temp() const { return m_.DriveC() / "WINDOWS" / "TEMP"; }

    // LZOpenFileA with a poisoned record and last error.
    INT Open(const std::string& path, WORD style) {
        std::memset(&of_, 0xA5, sizeof of_);
        win::SetLastError(kPoisonError);
        std::string name = path;
        return win::LZOpenFileA(name.data(), &of_, style);
    }

    // Expects a failed open with error in the record and as last error.
    void ExpectOpenFails(const std::string& path, WORD style, DWORD error) {
        INT h = Open(path, style);
        EXPECT_LT(h, 0) << path;
        if (h >= 0)
            win::LZClose(h);
        EXPECT_EQ(win::GetLastError(), error) << path;
        EXPECT_EQ(of_.cBytes, sizeof(OFSTRUCT));
        EXPECT_EQ(of_.nErrCode, error) << path;
    }

    TestMachine m_;
    OFSTRUCT of_;
};

TEST_F(Lz32, OpenFillsTheRecord) {
    WriteHostFile(Temp() / "plain.txt", "abc");
    INT h = Open("C:\\WINDOWS\\TEMP\\plain.txt", OF_READ);
    ASSERT_GE(h, 0);
    EXPECT_EQ(of_.cBytes, sizeof(OFSTRUCT));
    EXPECT_EQ(of_.nErrCode, ERROR_SUCCESS);
    EXPECT_NE(of_.fFixedDisk, 0);
    EXPECT_STREQ(of_.szPathName, "C:\\WINDOWS\\TEMP\\plain.txt");
    win::LZClose(h);

    // A relative name is reported as the full path it resolved to.
    ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\WINDOWS\\TEMP"));
    h = Open("plain.txt", OF_READ);
    ASSERT_GE(h, 0);
    EXPECT_STREQ(of_.szPathName, "C:\\WINDOWS\\TEMP\\plain.txt");
    win::LZClose(h);
}

TEST_F(Lz32, MissingSourceGivesNegativeHandle) {
    ExpectOpenFails("C:\\WINDOWS\\TEMP\\missing.tx_", OF_READ, ERROR_FILE_NOT_FOUND);
    ExpectOpenFails("C:\\NOWHERE\\missing.tx_", OF_READ, ERROR_PATH_NOT_FOUND);
    ExpectOpenFails("C:\\WINDOWS\\TEMP\\bad|name.txt", OF_READ, ERROR_INVALID_NAME);
    // A folder is no file.
    ExpectOpenFails("C:\\WINDOWS\\TEMP", OF_READ, ERROR_ACCESS_DENIED);
}

TEST_F(Lz32, CreateMakesOrTruncatesTheTarget) {
    WriteHostFile(Temp() / "old.txt", "previous contents");
    INT h = Open("C:\\WINDOWS\\TEMP\\old.txt", OF_CREATE | OF_WRITE);
    ASSERT_GE(h, 0);
    EXPECT_EQ(of_.nErrCode, ERROR_SUCCESS);
    win::LZClose(h);
    EXPECT_EQ(ReadHostFile(Temp() / "old.txt"), "");

    h = Open("C:\\WINDOWS\\TEMP\\NEW.TXT", OF_CREATE | OF_WRITE);
    ASSERT_GE(h, 0);
    win::LZClose(h);
    EXPECT_TRUE(fs::is_regular_file(Temp() / "NEW.TXT"));
    EXPECT_NE(win::GetFileAttributesA("C:\\WINDOWS\\TEMP\\new.txt"), INVALID_FILE_ATTRIBUTES);
}

class Lz32Copy : public Lz32 {
protected:
    // Copies source to a freshly created target; returns LZCopy's result.
    LONG Copy(const std::string& source, const std::string& target) {
        INT from = Open(source, OF_READ);
        EXPECT_GE(from, 0) << source;
        INT to = Open(target, OF_CREATE | OF_WRITE);
        EXPECT_GE(to, 0) << target;
        LONG n = win::LZCopy(from, to);
        win::LZClose(from);
        win::LZClose(to);
        return n;
    }
};

TEST_F(Lz32Copy, PlainSourceIsCopiedByteForByte) {
    std::string data;
    for (int i = 0; i < 70000; ++i)
        data += static_cast<char>(i * 7 % 251);
    WriteHostFile(Temp() / "data.bin", data);
    EXPECT_EQ(Copy("C:\\WINDOWS\\TEMP\\data.bin", "C:\\WINDOWS\\TEMP\\copy.bin"), 70000);
    EXPECT_EQ(ReadHostFile(Temp() / "copy.bin"), data);

    // Shorter than a header, and a header with a different signature: still plain.
    for (std::string plain : {std::string("SZDD"), std::string(13, 'x'),
                              "SZDD\x88\xF0\x27\x34" + std::string("A\0\0\0\0\0xyz", 9)}) {
        WriteHostFile(Temp() / "p.bin", plain);
        EXPECT_EQ(Copy("C:\\WINDOWS\\TEMP\\p.bin", "C:\\WINDOWS\\TEMP\\q.bin"),
                  static_cast<LONG>(plain.size()));
        EXPECT_EQ(ReadHostFile(Temp() / "q.bin"), plain);
    }
    WriteHostFile(Temp() / "empty.bin", "");
    EXPECT_EQ(Copy("C:\\WINDOWS\\TEMP\\empty.bin", "C:\\WINDOWS\\TEMP\\q.bin"), 0);
    EXPECT_EQ(ReadHostFile(Temp() / "q.bin"), "");
}

TEST_F(Lz32Copy, SzddSourceIsExpanded) {
    WriteHostFile(Temp() / "x.tx_", kPacked);
    EXPECT_EQ(Copy("C:\\WINDOWS\\TEMP\\x.tx_", "C:\\WINDOWS\\TEMP\\x.txt"),
              static_cast<LONG>(kExpanded.size()));
    EXPECT_EQ(ReadHostFile(Temp() / "x.txt"), kExpanded);

    // A header alone expands to nothing; a truncated stream to what decodes from it.
    WriteHostFile(Temp() / "h.tx_", kPacked.substr(0, 14));
    EXPECT_EQ(Copy("C:\\WINDOWS\\TEMP\\h.tx_", "C:\\WINDOWS\\TEMP\\h.txt"), 0);
    EXPECT_EQ(ReadHostFile(Temp() / "h.txt"), "");
    WriteHostFile(Temp() / "t.tx_", kPacked.substr(0, 20));
    EXPECT_EQ(Copy("C:\\WINDOWS\\TEMP\\t.tx_", "C:\\WINDOWS\\TEMP\\t.txt"), 5);
    EXPECT_EQ(ReadHostFile(Temp() / "t.txt"), "hello");
}

TEST_F(Lz32Copy, BadHandles) {
    WriteHostFile(Temp() / "x.tx_", kPacked);
    WriteHostFile(Temp() / "target.txt", "to be emptied");
    INT to = Open("C:\\WINDOWS\\TEMP\\target.txt", OF_CREATE | OF_WRITE);
    ASSERT_GE(to, 0);
    EXPECT_EQ(win::LZCopy(12345, to), LZERROR_BADINHANDLE);
    EXPECT_EQ(win::LZCopy(-1, to), LZERROR_BADINHANDLE);

    INT from = Open("C:\\WINDOWS\\TEMP\\x.tx_", OF_READ);
    ASSERT_GE(from, 0);
    EXPECT_EQ(win::LZCopy(from, 12345), LZERROR_BADOUTHANDLE);
    EXPECT_EQ(win::LZCopy(from, -8), LZERROR_BADOUTHANDLE);
    // A closed handle is a bad one.
    win::LZClose(from);
    EXPECT_EQ(win::LZCopy(from, to), LZERROR_BADINHANDLE);
    win::LZClose(to);
    EXPECT_EQ(ReadHostFile(Temp() / "target.txt"), "");
    win::LZClose(to); // closing twice is harmless
}

TEST_F(Lz32Copy, TargetOpenedForReadingCannotBeWritten) {
    WriteHostFile(Temp() / "x.tx_", kPacked);
    WriteHostFile(Temp() / "keep.txt", "keep");
    INT from = Open("C:\\WINDOWS\\TEMP\\x.tx_", OF_READ);
    INT to = Open("C:\\WINDOWS\\TEMP\\keep.txt", OF_READ);
    ASSERT_GE(from, 0);
    ASSERT_GE(to, 0);
    win::SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(win::LZCopy(from, to), LZERROR_WRITE);
    // The copy's message names the reason: never "error 0".
    EXPECT_EQ(win::GetLastError(), ERROR_WRITE_FAULT);
    win::LZClose(from);
    win::LZClose(to);
    EXPECT_EQ(ReadHostFile(Temp() / "keep.txt"), "keep");
}

// Only a file opened just for reading is taken as packed; one opened for reading and
// writing is copied as it is, and can be written to as well.
TEST_F(Lz32Copy, ReadWriteHandlesAreRaw) {
    WriteHostFile(Temp() / "x.tx_", kPacked);
    WriteHostFile(Temp() / "rw.txt", "0123456789");
    INT from = Open("C:\\WINDOWS\\TEMP\\x.tx_", OF_READWRITE);
    INT to = Open("C:\\WINDOWS\\TEMP\\rw.txt", OF_READWRITE);
    ASSERT_GE(from, 0);
    ASSERT_GE(to, 0);
    EXPECT_EQ(win::LZCopy(from, to), static_cast<LONG>(kPacked.size()));
    win::LZClose(from);
    win::LZClose(to);
    EXPECT_EQ(ReadHostFile(Temp() / "rw.txt"), kPacked); // written over from the start

    // OF_CREATE alone opens for writing as well.
    INT created = Open("C:\\WINDOWS\\TEMP\\made.txt", OF_CREATE);
    ASSERT_GE(created, 0);
    from = Open("C:\\WINDOWS\\TEMP\\x.tx_", OF_READ);
    EXPECT_EQ(win::LZCopy(from, created), static_cast<LONG>(kExpanded.size()));
    win::LZClose(from);
    win::LZClose(created);
    EXPECT_EQ(ReadHostFile(Temp() / "made.txt"), kExpanded);
}

TEST_F(Lz32, UnknownAlgorithmIsRefusedAtOpen) {
    std::string packed = kPacked;
    packed[8] = 'B';
    WriteHostFile(Temp() / "b.tx_", packed);
    INT h = Open("C:\\WINDOWS\\TEMP\\b.tx_", OF_READ);
    EXPECT_EQ(h, LZERROR_UNKNOWNALG);
    if (h >= 0)
        win::LZClose(h);
}

TEST_F(Lz32, ReadOnlyTargetCannotBeOpenedForWriting) {
    WriteHostFile(Temp() / "ro.txt", "protected");
    ASSERT_TRUE(win::SetFileAttributesA("C:\\WINDOWS\\TEMP\\ro.txt", FILE_ATTRIBUTE_READONLY));
    ExpectOpenFails("C:\\WINDOWS\\TEMP\\ro.txt", OF_CREATE | OF_WRITE, ERROR_ACCESS_DENIED);
    ExpectOpenFails("C:\\WINDOWS\\TEMP\\ro.txt", OF_WRITE, ERROR_ACCESS_DENIED);
    ExpectOpenFails("C:\\WINDOWS\\TEMP\\ro.txt", OF_READWRITE, ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadHostFile(Temp() / "ro.txt"), "protected");
    // Reading it is fine.
    INT h = Open("C:\\WINDOWS\\TEMP\\ro.txt", OF_READ);
    EXPECT_GE(h, 0);
    win::LZClose(h);
}

TEST_F(Lz32Copy, CdRomIsReadableButNotWritable) {
    TempDir cd;
    WriteHostFile(cd.path() / "SETUP.TX_", kPacked);
    WriteHostFile(cd.path() / "README.TXT", "read me");
    m_.machine().MapRunOnlyDrive('D', cd.path());

    INT h = Open("D:\\SETUP.TX_", OF_READ);
    ASSERT_GE(h, 0);
    EXPECT_EQ(of_.fFixedDisk, 0);
    win::LZClose(h);
    EXPECT_EQ(Copy("D:\\setup.tx_", "C:\\WINDOWS\\TEMP\\SETUP.TXT"),
              static_cast<LONG>(kExpanded.size()));
    EXPECT_EQ(ReadHostFile(Temp() / "SETUP.TXT"), kExpanded);

    ExpectOpenFails("D:\\NEW.TXT", OF_CREATE | OF_WRITE, ERROR_ACCESS_DENIED);
    ExpectOpenFails("D:\\README.TXT", OF_CREATE | OF_WRITE, ERROR_ACCESS_DENIED);
    ExpectOpenFails("D:\\README.TXT", OF_WRITE, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(fs::exists(cd.path() / "NEW.TXT"));
    EXPECT_EQ(ReadHostFile(cd.path() / "README.TXT"), "read me");
}

} // namespace
