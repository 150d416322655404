// The file a run's changes are told in: any bytes come back as written, and what is not
// a whole record (a line cut short by a failed write, a line of another shape, one past
// the bound) is passed over without taking a record with it.
#include "platform/portable/runs/run_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using portable::RunRecord;

TEST(RunFile, RecordsComeBackWholeAndAnythingElseIsPassedOver) {
    std::string bytes = "Tab\tZeile\nProzent%Tilde~Null";
    bytes += '\0';
    bytes += "\x7f\xff\xe4";
    RunRecord first{"row", "7.1", {"value", bytes, std::nullopt, "", "~", "%41"}};
    RunRecord second{"file", "7.2", {"0", "C:\\Programme\\Zep", ""}};
    std::string text = portable::RecordLine(first);
    text += "\nrow\t7.9\tkey\tabgeschnitten";          // a write cut short: no line end
    text += "\nrow\t%G1\n\nrow\tkey\x01roh\n\nohne\n"; // a bad escape, a raw byte, no field
    text += "\nfile\t" + std::string(portable::kMostRecordLine, 'x') + "\n"; // too long
    text += portable::RecordLine(second);
    text += "\nfile\tnoch nicht zu Ende"; // the last line, cut short

    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), file), text.size());
    ASSERT_EQ(std::fflush(file), 0);
    int fd = ::dup(fileno(file));
    ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
    std::vector<RunRecord> read;
    EXPECT_TRUE(portable::ReadRecords(fd, [&](const RunRecord& r) { read.push_back(r); }));
    ::close(fd);
    std::fclose(file);

    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0].kind, first.kind);
    EXPECT_EQ(read[0].token, first.token);
    EXPECT_EQ(read[0].fields, first.fields);
    // "abgeschnitten" is its own line: the next record's leading line break ends it.
    EXPECT_EQ(read[1].token, "7.9");
    EXPECT_EQ(read[1].fields, (RunRecord::Fields{"key", "abgeschnitten"}));
    EXPECT_EQ(read[2].kind, second.kind);
    EXPECT_EQ(read[2].fields, second.fields);

    // A file that cannot be read to its end says so.
    int folder = ::open("/", O_RDONLY | O_DIRECTORY);
    EXPECT_FALSE(portable::ReadRecords(folder, [](const RunRecord&) {}));
    ::close(folder);
}

} // namespace
