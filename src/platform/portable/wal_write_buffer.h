// A VFS over SQLite's own ("unix") that gathers the writes a connection makes to its WAL
// file and hands them to the system as one write.
//
// SQLite writes every frame of the log as two writes, a 24-byte header and the page; a
// commit of two pages was four system calls, a large part of what a small change costs.
// A transaction's gathered frames are written when its commit frame's page arrives, so a
// failed write fails the commit as it would have without gathering (before that, 64 KiB at
// a time). Frames only count once the commit publishes them in the WAL index header, and
// SQLite always passes a memory barrier (xShmBarrier on the database file) before it does
// so: that barrier, and anything that reads, syncs, sizes or closes the log, writes
// whatever is still gathered first. A process killed in between loses only frames nobody
// could have seen.
//
// Only a log linked to its database file (LinkWalBuffer, for a connection with both open) is
// buffered; any other file goes straight through, so nothing depends on the link being
// made.
#pragma once

struct sqlite3;

namespace portable {

// The name of the VFS, registered on first use; pass it to sqlite3_open_v2.
const char* BufferedWalVfs();

// Links the connection's log to its database file so that the log's writes are gathered.
// Call it once the log is open (after the first read in WAL mode). False when either file
// is not one of this VFS's.
bool LinkWalBuffer(sqlite3* connection);

} // namespace portable
