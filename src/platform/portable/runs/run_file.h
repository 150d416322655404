// The file of a run, runs/ID.lock: every process of the run holds a shared lock on it, and
// while the run lasts it is the record of the run's changes. Each change is told in a line
// appended before the change happens; whoever ends the run, or finds it dead, moves the
// lines into the store (run_log.h). A change thus never exists without its record, even
// after kill -9, and a change costs the store nothing more than itself.
//
// A line is a record's kind, its token and its fields, separated by tabs. The token names
// the record within the run; a "cancel" record withdraws the record of the same token (its
// change was rolled back). A field is "~" when NULL;
// otherwise control bytes, '%' and '~' are written as "%XX". Each line is written with a
// line break before it too, so that a line cut short by a failed write cannot swallow the
// next one.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace portable {

struct RunRecord {
    using Fields = std::vector<std::optional<std::string>>;
    std::string kind;  // "file", "row" or "cancel"
    std::string token; // unique within the run
    Fields fields;
};

// A line longer than this is not a record: reading a run's file stays bounded in memory.
inline constexpr size_t kMostRecordLine = size_t{64} << 20;

// The text appended for record.
std::string RecordLine(const RunRecord& record);

// Passes the records in the file fd (from its current offset) to take, in order, only
// those of kind `only` when it is given; lines that are not records (cut short, too long,
// not ours) are passed over. The file may come from anyone. False when the file could not
// be read to its end (errno tells why).
bool ReadRecords(int fd, const std::function<void(const RunRecord&)>& take,
                 std::string_view only = {});

} // namespace portable
