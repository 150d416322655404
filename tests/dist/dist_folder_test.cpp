// The distribution folder the build made (build/dist): a packed file for every manifest
// row, each expanding (with Debian's msexpand and with the machine's own lz32) to a file of
// its kind, the setup program itself among them, and the folder's zepsetup starting the
// installation with the folder as the CD-ROM drive D:.
#include "format_checks.h"
#include "install/manifest.h"
#include "platform/kernel32.h"
#include "platform/lz32.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

namespace fs = std::filesystem;
using install::kManifest;
using install::ManifestRow;
using testing_support::ReadHostFile;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

const fs::path kDist = DIST_DIR;

std::string Extension(std::string_view name) {
    std::string extension(name.substr(name.rfind('.') + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    return extension;
}

bool IsSetupRow(const ManifestRow& row) {
    return row.target == "Zepsetup.exe";
}

// A packed file of the folder as Debian's msexpand expands it (it reads byte by byte, so
// only one test expands them all).
std::string Msexpand(const ManifestRow& row) {
    TempDir dir;
    const fs::path out = dir.path() / "expanded";
    const std::string command = std::string(MSEXPAND_BIN) + " < '" + (kDist / row.packed).string() +
                                "' > '" + out.string() + "'";
    if (RunCommand(command) != 0)
        ADD_FAILURE() << "msexpand failed on " << row.packed;
    return ReadHostFile(out);
}

// What the build packed into the row's file (the first test proves it expands to this).
std::string Staged(const ManifestRow& row) {
    return ReadHostFile(fs::path(DIST_STAGING) / row.target);
}

const ManifestRow& RowNamed(std::string_view name) {
    return *std::find_if(kManifest.begin(), kManifest.end(),
                         [&](const ManifestRow& row) { return row.target == name; });
}

// Windows-1252 text with CR LF line ends: no NUL, no control characters but CR, LF and
// tab, no byte the code page leaves undefined, no CR or LF alone.
std::string TextProblem(std::string_view text) {
    static const std::set<unsigned char> undefined = {0x81, 0x8D, 0x8F, 0x90, 0x9D};
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = text[i];
        if (c == '\n' && (i == 0 || text[i - 1] != '\r'))
            return "LF without CR at " + std::to_string(i);
        if (c == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
            return "CR without LF at " + std::to_string(i);
        if ((c < 0x20 && c != '\r' && c != '\n' && c != '\t') || undefined.contains(c))
            return "byte " + std::to_string(c) + " at " + std::to_string(i);
    }
    if (!text.ends_with("\r\n"))
        return "no line end at the end";
    return "";
}

// What is wrong with the expanded file as a file of its kind; empty when nothing.
std::string KindProblem(const ManifestRow& row, const std::string& bytes) {
    const std::string extension = Extension(row.target);
    if (IsSetupRow(row))
        return bytes.starts_with("\x7F"
                                 "ELF")
                   ? ""
                   : "the setup program is no executable";
    if (extension == "exe")
        return bytes.starts_with("MZ") ? "" : "no MZ header";
    if (extension == "gif") {
        dist_checks::GifPicture picture;
        return dist_checks::DecodeGif(bytes, picture);
    }
    if (extension == "ico") {
        std::vector<int> depths;
        return dist_checks::CheckIcon(bytes, depths);
    }
    if (extension == "icl")
        return bytes.starts_with("ICLB") ? "" : "no icon library header";
    if (extension == "zip") {
        std::vector<dist_checks::ZipListing> entries;
        return bytes.starts_with("PK\x03\x04") ? dist_checks::ReadStoredZip(bytes, entries)
                                               : "no local header first";
    }
    if (extension == "htm" && !bytes.starts_with("<!DOCTYPE HTML"))
        return "no HTML document";
    if (extension == "txt" || extension == "htm" || extension == "bat")
        return TextProblem(bytes);
    return "unexpected kind of file";
}

TEST(DistFolder, HoldsThePackedFileOfEveryRowAndTheSetupProgram) {
    std::set<std::string> expected = {"zepsetup"};
    for (const ManifestRow& row : kManifest) {
        expected.emplace(row.packed);
        std::string packed = ReadHostFile(kDist / row.packed);
        EXPECT_EQ(packed.substr(0, 8), std::string("SZDD\x88\xF0\x27\x33", 8)) << row.packed;
    }
    std::set<std::string> present;
    for (const fs::directory_entry& entry : fs::directory_iterator(kDist))
        present.insert(entry.path().filename().string());
    EXPECT_EQ(present, expected);
    EXPECT_TRUE(fs::exists(kDist / "errata.tx_")); // the one lower-case packed name
}

TEST(DistFolder, EveryFileExpandsToAFileOfItsKind) {
    std::size_t total = 0;
    for (const ManifestRow& row : kManifest) {
        SCOPED_TRACE(std::string(row.packed));
        const std::string expanded = Msexpand(row);
        EXPECT_EQ(KindProblem(row, expanded), "");
        EXPECT_EQ(expanded, Staged(row));
        total += expanded.size();
    }
    EXPECT_GE(total, 2'000'000u);
    EXPECT_LE(total, 6'000'000u);
}

TEST(DistFolder, ProgramStandInsPackLikeProgramsAndFollowTheirWeights) {
    std::size_t largest = 0;
    std::string largestName;
    for (const ManifestRow& row : kManifest) {
        if (Extension(row.target) != "exe" || IsSetupRow(row))
            continue;
        SCOPED_TRACE(std::string(row.target));
        const double expanded = static_cast<double>(Staged(row).size());
        const double packed = static_cast<double>(fs::file_size(kDist / row.packed));
        EXPECT_GT(packed / expanded, 0.50);
        EXPECT_LT(packed / expanded, 0.70);
        EXPECT_NEAR(expanded / row.weight, 80 * 1024, 8 * 1024);
        if (expanded > largest) {
            largest = static_cast<std::size_t>(expanded);
            largestName = row.target;
        }
    }
    EXPECT_EQ(largestName, "Zepanu.exe");
    EXPECT_GT(largest, 800'000u);
    EXPECT_LT(largest, 1'100'000u);
}

TEST(DistFolder, LzCopyOnTheMachineExpandsEveryFileFromDriveD) {
    TestMachine m;
    m.machine().MapRunOnlyDrive('D', kDist);
    for (const ManifestRow& row : kManifest) {
        SCOPED_TRACE(std::string(row.packed));
        OFSTRUCT of;
        std::string source = "D:\\" + std::string(row.packed);
        std::string target = "C:\\WINDOWS\\TEMP\\" + std::string(row.target);
        INT from = win::LZOpenFileA(source.data(), &of, OF_READ);
        ASSERT_GE(from, 0);
        EXPECT_EQ(of.fFixedDisk, 0); // a CD-ROM
        INT to = win::LZOpenFileA(target.data(), &of, OF_CREATE | OF_WRITE);
        ASSERT_GE(to, 0);
        const std::string expected = Staged(row);
        EXPECT_EQ(win::LZCopy(from, to), static_cast<LONG>(expected.size()));
        win::LZClose(from);
        win::LZClose(to);
        EXPECT_EQ(ReadHostFile(m.DriveC() / "WINDOWS" / "TEMP" / row.target), expected);
    }
}

TEST(DistFolder, TheArchiveAndTheImagesPassTheSystemsOwnTools) {
    TempDir dir;
    for (const char* name : {"Docpaxo.zip", "Fwd.gif", "Bin1.ico"})
        WriteHostFile(dir.path() / name, Staged(RowNamed(name)));
    std::string out;
    EXPECT_EQ(RunCommand("unzip -t " + (dir.path() / "Docpaxo.zip").string() + " 2>&1", &out), 0)
        << "unzip (scripts/deps) refused the archive:\n"
        << out;
    EXPECT_NE(out.find("No errors detected"), std::string::npos) << out;
    ASSERT_EQ(RunCommand("file -b " + (dir.path() / "Bin1.ico").string(), &out), 0);
    EXPECT_NE(out.find("MS Windows icon resource - 2 icons"), std::string::npos) << out;
    ASSERT_EQ(RunCommand("file -b " + (dir.path() / "Fwd.gif").string(), &out), 0);
    EXPECT_NE(out.find("GIF image data, version 89a, 32 x 32"), std::string::npos) << out;
}

TEST(DistFolder, ItsSetupProgramIsTheBuiltOneStrippedAndRuns) {
    TempDir dir;
    const std::string setup = Msexpand(RowNamed("Zepsetup.exe"));
    EXPECT_EQ(setup, ReadHostFile(kDist / "zepsetup"));
    const fs::path stripped = dir.path() / "stripped";
    ASSERT_EQ(RunCommand(std::string(STRIP_BIN) + " -o " + stripped.string() + " " + ZEPSETUP_BIN),
              0);
    EXPECT_EQ(setup, ReadHostFile(stripped));
    EXPECT_LT(setup.size(), fs::file_size(ZEPSETUP_BIN));

    // The installed copy is the program: it answers as zepsetup does.
    const fs::path installed = dir.path() / "Zepsetup.exe";
    WriteHostFile(installed, setup);
    fs::permissions(installed, fs::perms::owner_all);
    std::string out;
    int status = RunCommand("ZEPSETUP_UI=tk " + installed.string() + " 2>&1", &out);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("zepsetup: ZEPSETUP_UI=tk is no user interface"), std::string::npos) << out;
}

// The distribution is D: for the run started from it (the installation runs read from it)
// and for nobody else: nothing about it is stored, so a second process does not see it.
TEST(DistFolder, StartedFromTheFolderItIsDriveDForThatRunOnly) {
    TempDir dir;
    WriteHostFile(dir.path() / "run.ui", "close Lizenz\n");
    const fs::path machine = dir.path() / "machine";
    std::string out;
    ASSERT_EQ(RunCommand(std::string(ZEPMACHINE_BIN) + " init " + machine.string(), &out), 0);
    int status =
        RunCommand("cd " + dir.path().string() + " && ZEPSETUP_MACHINE=" + machine.string() +
                       " ZEPSETUP_UI=headless ZEPSETUP_UI_SCRIPT=run.ui "
                       "ZEPSETUP_TRANSCRIPT=run.log " +
                       (kDist / "zepsetup").string() + " 2>&1",
                   &out);
    ASSERT_EQ(status, 2) << out; // ended before anything was installed
    EXPECT_EQ(ReadHostFile(dir.path() / "run.log"), "show Lizenz\nunload Lizenz\nend\n");
    const std::string zep = std::string(ZEPMACHINE_BIN) + " --machine " + machine.string();
    ASSERT_EQ(RunCommand(zep + " info", &out), 0);
    EXPECT_EQ(out.find("D:"), std::string::npos) << out;
    EXPECT_NE(out.find("C:  fixed"), std::string::npos) << out;
    ASSERT_EQ(RunCommand(zep + " log", &out), 0);
    EXPECT_EQ(out.find("drive D:"), std::string::npos) << out;
    EXPECT_NE(RunCommand(zep + " ls 'D:\\' 2>&1", &out), 0) << out;
}

} // namespace
