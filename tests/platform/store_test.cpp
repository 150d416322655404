// The machine's store as several connections share it: the read transaction kept between
// statements, the change signal the caches follow, checkpoints while a stream of commits
// runs, read-only stores, and a writer killed while committing.
#include "platform/portable/store/sqlite_db.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using portable::Database;
using portable::StoreError;
using portable::Transaction;
constexpr auto kWrite = Database::Access::ReadWrite;

class Store : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "store-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        file_ = dir_ / "store.db";
        Database db(file_, Database::Access::Create);
        db.Exec("CREATE TABLE t(k INTEGER PRIMARY KEY, v TEXT NOT NULL)");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    static std::int64_t Count(Database& db) {
        auto& stmt = db.Prepare("SELECT count(*) FROM t");
        std::int64_t n = stmt.Step() ? stmt.Int(0) : -1;
        stmt.Reset();
        return n;
    }
    static std::string ValueOf(Database& db, std::int64_t k) {
        auto& stmt = db.Prepare("SELECT v FROM t WHERE k = ?1");
        stmt.Bind(1, k);
        std::string v = stmt.Step() ? stmt.Text(0) : "<none>";
        stmt.Reset();
        return v;
    }
    static void Put(Database& db, std::int64_t k, std::string_view v) {
        db.Prepare("INSERT OR REPLACE INTO t(k, v) VALUES(?1, ?2)").Bind(1, k).Bind(2, v).Run();
    }
    // Frames in the log not yet copied to the database file, as a passive checkpoint by
    // `db` leaves them.
    static int Uncopied(Database& db) {
        auto& stmt = db.Prepare("PRAGMA wal_checkpoint(PASSIVE)");
        EXPECT_TRUE(stmt.Step());
        int left = static_cast<int>(stmt.Int(1) - stmt.Int(2));
        stmt.Reset();
        return left;
    }

    fs::path dir_;
    fs::path file_;
};

TEST_F(Store, EveryStatementSeesWhatOthersCommittedBeforeIt) {
    Database reader(file_, kWrite);
    Database writer(file_, kWrite);
    for (int round = 0; round < 50; ++round) {
        EXPECT_EQ(Count(reader), round); // keeps its read transaction...
        EXPECT_EQ(ValueOf(reader, round - 1), round ? std::to_string(round - 1) : "<none>");
        Put(writer, round, std::to_string(round)); // ...until someone commits
    }
    EXPECT_EQ(Count(reader), 50);
    EXPECT_FALSE(reader.InWriteTransaction());
}

TEST_F(Store, WritesAfterReadsCommitAtOnceAndHoldNoLock) {
    Database a(file_, kWrite);
    Database b(file_, kWrite);
    EXPECT_EQ(Count(a), 0);
    Put(a, 1, "outside a transaction");
    EXPECT_EQ(ValueOf(b, 1), "outside a transaction"); // committed, not left in a's snapshot
    {
        EXPECT_EQ(Count(a), 1);
        Transaction txn(a);
        EXPECT_TRUE(a.InWriteTransaction());
        Put(a, 2, "in a transaction");
        EXPECT_EQ(ValueOf(b, 2), "<none>");
        txn.Commit();
    }
    EXPECT_FALSE(a.InWriteTransaction());
    EXPECT_EQ(ValueOf(b, 2), "in a transaction");
    EXPECT_EQ(Count(a), 2);
    // a holds no write lock now: b writes without waiting for the busy timeout.
    Transaction txn(b);
    Put(b, 3, "b");
    txn.Commit();
    EXPECT_EQ(Count(a), 3);
}

TEST_F(Store, ARolledBackTransactionAfterReadsLeavesNothing) {
    Database a(file_, kWrite);
    Put(a, 1, "kept");
    EXPECT_EQ(Count(a), 1);
    {
        Transaction txn(a);
        Put(a, 2, "dropped");
    }
    EXPECT_EQ(Count(a), 1);
    Database b(file_, kWrite);
    EXPECT_EQ(Count(b), 1);
}

TEST_F(Store, AKeptSnapshotHoldsBackCheckpointsOnlyUntilLetGo) {
    Database reader(file_, kWrite);
    Database writer(file_, kWrite);
    Put(writer, 0, "before");
    EXPECT_EQ(Uncopied(writer), 0);
    EXPECT_EQ(Count(reader), 1); // right after a commit: a transaction of its own
    EXPECT_EQ(Count(reader), 1); // in a quiet store the snapshot is kept from here
    for (int i = 1; i <= 20; ++i)
        Put(writer, i, std::string(500, 'x'));
    EXPECT_GT(Uncopied(writer), 0); // the reader may still need the old pages
    reader.LetGo();
    EXPECT_EQ(Uncopied(writer), 0);
    EXPECT_EQ(Count(reader), 21);
}

TEST_F(Store, TheVersionChangesWithEveryCommitAndOnlyThen) {
    Database reader(file_, kWrite);
    Database writer(file_, kWrite);
    std::uint64_t before = reader.Version();
    EXPECT_EQ(Count(reader), 0);
    EXPECT_EQ(reader.Version(), before); // reads change nothing
    Put(writer, 1, "one");
    std::uint64_t seen = reader.Version();
    EXPECT_NE(seen, before);
    EXPECT_EQ(reader.Version(), seen);
    {
        Transaction txn(writer);
        Put(writer, 2, "rolled back");
    }
    EXPECT_EQ(reader.Version(), seen);
    {
        Transaction txn(reader); // its own commit: it knows what it wrote
        Put(reader, 3, "its own");
        txn.Commit();
    }
    EXPECT_EQ(reader.Version(), seen);
    std::uint64_t writerSeen = writer.Version();
    {
        Transaction txn(reader);
        Put(reader, 4, "seen by the other");
        txn.Commit();
    }
    EXPECT_NE(writer.Version(), writerSeen);
    Put(reader, 5, "a statement of its own"); // committed on its own: cannot tell, so counted
    EXPECT_NE(reader.Version(), seen);
}

TEST_F(Store, TheLogStaysBoundedUnderAStreamOfCommits) {
    Database db(file_, kWrite);
    Database reader(file_, kWrite);
    // Each commit dirties pages all over a table of a few thousand rows, as changes to a
    // large registry do; without restarts the log would grow by two pages every commit.
    for (int i = 0; i < 4000; ++i)
        Put(db, i, std::string(200, 'a'));
    for (int i = 0; i < 40000; ++i) {
        Put(db, (i * 7919) % 4000, std::string(200, static_cast<char>('b' + i % 20)));
        if (i % 100 == 0) {
            EXPECT_EQ(Count(reader), 4000); // a reader between commits holds nothing back
        }
    }
    std::uintmax_t log = fs::file_size(fs::path(file_.string() + "-wal"));
    // 40,000 commits of at least two pages each would be over 300 MB; SQLite copies the log
    // back from 10,000 pages and starts it afresh (a frame is a page and 24 bytes).
    EXPECT_LT(log, std::uintmax_t{12000} * (4096 + 24)) << "log of " << log << " bytes";
    auto& check = db.Prepare("PRAGMA integrity_check");
    ASSERT_TRUE(check.Step());
    EXPECT_EQ(check.Text(0), "ok");
    check.Reset();
}

// Whether the store's log was left behind or not, a read-only store reads the last commit
// and refuses changes with a message that says why.
TEST_F(Store, AReadOnlyStoreReadsAndRefusesChanges) {
    {
        Database db(file_, kWrite);
        Put(db, 1, "committed");
    }
    for (bool logLeft : {false, true}) {
        SCOPED_TRACE(logLeft ? "with a log" : "without a log");
        std::unique_ptr<Database> holder;
        if (logLeft) {
            holder = std::make_unique<Database>(file_, kWrite);
            Put(*holder, 2, "in the log");
        }
        Database db(file_, Database::Access::ReadOnly);
        EXPECT_TRUE(db.ReadOnly());
        EXPECT_EQ(ValueOf(db, 1), "committed");
        EXPECT_EQ(ValueOf(db, 2), logLeft ? "in the log" : "<none>");
        try {
            Transaction txn(db);
            FAIL() << "a read-only store began a write transaction";
        } catch (const StoreError& e) {
            EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
        }
        try {
            Put(db, 3, "refused");
            FAIL() << "a read-only store took a change";
        } catch (const StoreError& e) {
            EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
        }
    }
}

TEST_F(Store, LargeTransactionsAreWrittenWhole) {
    std::string big;
    for (int i = 0; i < 1 << 18; ++i)
        big += static_cast<char>('A' + (i * 31 + i / 7) % 26);
    {
        Database db(file_, kWrite);
        Transaction txn(db);
        for (int k = 0; k < 40; ++k) // ten megabytes in one commit
            Put(db, k, big.substr(static_cast<size_t>(k), big.size() - static_cast<size_t>(k)));
        txn.Commit();
        Database other(file_, kWrite);
        EXPECT_EQ(ValueOf(other, 39), big.substr(39));
    }
    Database reopened(file_, kWrite);
    EXPECT_EQ(Count(reopened), 40);
    EXPECT_EQ(ValueOf(reopened, 7), big.substr(7));
}

// A writer reports each commit on a pipe once its Commit() returned, and is killed at an
// arbitrary moment: every reported commit is in the store, and the store is sound.
TEST_F(Store, AKilledWriterLosesNoReportedCommit) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        Database db(file_, kWrite);
        for (std::int64_t k = 0;; ++k) {
            Transaction txn(db);
            Put(db, k, std::string(300 + k % 900, 'k'));
            Put(db, 1000000 + k % 50, std::to_string(k));
            txn.Commit();
            if (::write(pipeFds[1], &k, sizeof k) != sizeof k)
                ::_exit(1);
        }
    }
    ::close(pipeFds[1]);
    std::int64_t last = -1;
    std::int64_t k = 0;
    while (last < 3000 && ::read(pipeFds[0], &k, sizeof k) == sizeof k)
        last = k;
    ::kill(child, SIGKILL);
    while (::read(pipeFds[0], &k, sizeof k) == sizeof k)
        last = k; // reported before the kill landed
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_GE(last, 3000);

    Database db(file_, kWrite);
    auto& check = db.Prepare("PRAGMA integrity_check");
    ASSERT_TRUE(check.Step());
    EXPECT_EQ(check.Text(0), "ok");
    check.Reset();
    auto& missing = db.Prepare("SELECT count(*) FROM t WHERE k <= ?1 AND k < 1000000");
    missing.Bind(1, last);
    ASSERT_TRUE(missing.Step());
    EXPECT_EQ(missing.Int(0), last + 1);
    missing.Reset();
}

} // namespace
