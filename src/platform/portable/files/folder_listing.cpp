#include "platform/portable/files/folder_listing.h"

#include "platform/codepage.h"

#include <algorithm>
#include <ctime>

namespace portable {
namespace {

// More than this many entries kept in all: start afresh rather than grow without bound.
constexpr size_t kMaxKeptEntries = 500000;
// Folder times are taken from a coarse clock that advances a tick (1 to 10 ms) at a time.
constexpr std::int64_t kRacyNs = 50'000'000;

bool Same(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::int64_t Ns(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

size_t Size(const std::shared_ptr<const FolderListing>& listing) {
    return listing ? listing->entries.size() : 0;
}

} // namespace

void FolderListing::Index() {
    index_.clear();
    index_.reserve(entries.size() * 2);
    for (size_t i = 0; i < entries.size(); ++i)
        index_.emplace(win::AnsiUpper(entries[i].longName), i);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].shortName.empty())
            index_.emplace(win::AnsiUpper(entries[i].shortName), i);
    }
}

const DirEntry* FolderListing::Find(std::string_view ansiName) const {
    auto it = index_.find(win::AnsiUpper(ansiName));
    return it == index_.end() ? nullptr : &entries[it->second];
}

bool Settled(const struct stat& st) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::int64_t latest = std::max(Ns(st.st_mtim), Ns(st.st_ctim));
    return Ns(now) - latest >= kRacyNs;
}

std::optional<std::shared_ptr<const FolderListing>> FolderCache::Get(const std::string& dirKey,
                                                                     const struct stat& st) {
    auto it = kept_.find(dirKey);
    if (it == kept_.end())
        return std::nullopt;
    const Kept& k = it->second;
    if (k.device != st.st_dev || k.inode != st.st_ino || !Same(k.modified, st.st_mtim) ||
        !Same(k.changed, st.st_ctim)) {
        Forget(dirKey);
        return std::nullopt;
    }
    return k.listing;
}

void FolderCache::Forget(const std::string& dirKey) {
    auto it = kept_.find(dirKey);
    if (it == kept_.end())
        return;
    keptEntries_ -= Size(it->second.listing);
    kept_.erase(it);
}

void FolderCache::Put(const std::string& dirKey, const struct stat& st,
                      std::shared_ptr<const FolderListing> listing) {
    if (!Settled(st))
        return;
    if (keptEntries_ + Size(listing) > kMaxKeptEntries)
        Clear();
    Forget(dirKey);
    keptEntries_ += Size(listing);
    kept_[dirKey] = Kept{st.st_dev, st.st_ino, st.st_mtim, st.st_ctim, std::move(listing)};
}

} // namespace portable
