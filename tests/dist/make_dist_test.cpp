// The make_dist tool on its own folders, with a stand-in packer that copies FILE to FILE_
// and notes each call: it writes the same files as the build did, packs only what changed,
// replaces packed files only by complete ones, and reports failures.
#include "install/manifest.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

namespace fs = std::filesystem;
using install::kManifest;
using testing_support::ReadHostFile;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::WriteHostFile;

class MakeDist : public ::testing::Test {
protected:
    MakeDist() {
        WriteHostFile(Setup(), ReadHostFile(fs::path(DIST_DIR) / "zepsetup"));
        UsePacker("cp \"$1\" \"$1_\"\n");
    }

    // The packer the tool runs: a shell script that logs its argument, then runs body.
    void UsePacker(const std::string& body) {
        WriteHostFile(Packer(), "#!/bin/sh\necho \"$1\" >> " +
                                    (dir_.path() / "packed.log").string() + "\n" + body);
        fs::permissions(Packer(), fs::perms::owner_all);
    }

    // Runs make_dist; the exit status, its output in out_.
    int Run(const std::string& extra = "") {
        fs::remove(dir_.path() / "packed.log");
        return RunCommand(std::string(MAKE_DIST_BIN) + " --setup " + Setup().string() +
                              " --staging " + Staging().string() + " --out " + Out().string() +
                              " --mscompress " + Packer().string() + " -v " + extra + " 2>&1",
                          &out_);
    }

    // The files the packer was run on, by name.
    std::vector<std::string> Packed() {
        std::vector<std::string> names;
        std::istringstream log(ReadHostFile(dir_.path() / "packed.log"));
        for (std::string line; std::getline(log, line);)
            names.push_back(fs::path(line).filename().string());
        return names;
    }

    fs::path Setup() const { return dir_.path() / "setup"; }
    fs::path Staging() const { return dir_.path() / "staging"; }
    fs::path Out() const { return dir_.path() / "out"; }
    fs::path Packer() const { return dir_.path() / "packer.sh"; }

    TempDir dir_;
    std::string out_;
};

TEST_F(MakeDist, WritesWhatTheBuildWroteAndThenOnlyWhatChanged) {
    ASSERT_EQ(Run(), 0) << out_;
    EXPECT_EQ(out_, "make_dist: 56 files, 56 written, 56 packed, 0 removed\n");
    for (const auto& row : kManifest) {
        const std::string staged = ReadHostFile(Staging() / row.target);
        EXPECT_EQ(staged, ReadHostFile(fs::path(DIST_STAGING) / row.target)) << row.target;
        EXPECT_EQ(ReadHostFile(Out() / row.packed), staged) << row.packed;
    }
    const auto packedTime = fs::last_write_time(Out() / "Terms.tx_");

    ASSERT_EQ(Run(), 0) << out_;
    EXPECT_EQ(out_, "make_dist: 56 files, 0 written, 0 packed, 0 removed\n");
    EXPECT_TRUE(Packed().empty());
    EXPECT_EQ(fs::last_write_time(Out() / "Terms.tx_"), packedTime);

    // A lost packed file is packed again, and only it.
    fs::remove(Out() / "errata.tx_");
    ASSERT_EQ(Run(), 0) << out_;
    EXPECT_EQ(Packed(), std::vector<std::string>{"Errata.txt"});

    // A new setup program: its row alone.
    WriteHostFile(Setup(), "a newer setup program, long enough");
    ASSERT_EQ(Run(), 0) << out_;
    EXPECT_EQ(out_, "make_dist: 56 files, 1 written, 1 packed, 0 removed\n");
    EXPECT_EQ(ReadHostFile(Out() / "Zepsetup.ex_"), "a newer setup program, long enough");

    // Packed files no row names go; anything else stays.
    WriteHostFile(Out() / "Oldname.ex_", "left from an older manifest");
    WriteHostFile(Out() / "zepsetup", "the setup program of the folder");
    ASSERT_EQ(Run(), 0) << out_;
    EXPECT_EQ(out_, "make_dist: 56 files, 0 written, 0 packed, 1 removed\n");
    EXPECT_FALSE(fs::exists(Out() / "Oldname.ex_"));
    EXPECT_TRUE(fs::exists(Out() / "zepsetup"));
}

TEST_F(MakeDist, AFailedPackingLeavesThePackedFileItHadAndSaysWhy) {
    ASSERT_EQ(Run(), 0) << out_;
    WriteHostFile(Setup(), "a newer setup program, long enough");

    UsePacker("printf half > \"$1_\"\nexit 3\n");
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(out_.find("Zepsetup.exe: exit status 3"), std::string::npos) << out_;
    EXPECT_EQ(ReadHostFile(Out() / "Zepsetup.ex_"), ReadHostFile(fs::path(DIST_DIR) / "zepsetup"));

    UsePacker("exit 0\n");
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(out_.find("Zepsetup.exe_: the packer left no packed file"), std::string::npos)
        << out_;

    // The next sound run packs what the failed ones left undone.
    UsePacker("cp \"$1\" \"$1_\"\n");
    ASSERT_EQ(Run(), 0) << out_;
    EXPECT_EQ(Packed(), std::vector<std::string>{"Zepsetup.exe"});
    EXPECT_EQ(ReadHostFile(Out() / "Zepsetup.ex_"), "a newer setup program, long enough");
}

TEST_F(MakeDist, RefusesWhatItCannotDo) {
    fs::remove(Setup());
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(out_.find(Setup().string() + ": cannot open"), std::string::npos) << out_;

    WriteHostFile(Setup(), "short");
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(out_.find("Zepsetup.exe: 5 bytes; mscompress mis-packs files under 16 bytes"),
              std::string::npos)
        << out_;

    WriteHostFile(Setup(), "a setup program, long enough");
    EXPECT_EQ(Run("--mscompress /nonexistent/mscompress"), 1);
    EXPECT_NE(out_.find("/nonexistent/mscompress: cannot start"), std::string::npos) << out_;

    EXPECT_EQ(RunCommand(std::string(MAKE_DIST_BIN) + " --out x 2>&1", &out_), 2);
    EXPECT_NE(out_.find("--setup, --staging and --out are required"), std::string::npos) << out_;
    EXPECT_EQ(RunCommand(std::string(MAKE_DIST_BIN) + " --setup 2>&1", &out_), 2);
    EXPECT_EQ(RunCommand(std::string(MAKE_DIST_BIN) + " --bogus 2>&1", &out_), 2);
    EXPECT_EQ(RunCommand(std::string(MAKE_DIST_BIN) + " --help", &out_), 0);
    EXPECT_TRUE(out_.starts_with("usage: make_dist")) << out_;
}

} // namespace
