// Whole host folders below a directory descriptor: removal and size; and a file's bytes
// copied from one descriptor to another. Links are never
// followed (a symbolic link is removed as itself and counts nothing), and the depth is
// bounded, so a crafted tree costs bounded descriptors and stack.
#pragma once

#include <cstdint>
#include <string>

namespace portable {

inline constexpr int kMaxHostTreeDepth = 128;

// Removes the folder name in dirFd with everything in it. False when anything stayed.
bool RemoveHostTree(int dirFd, const std::string& name);

// Adds the sizes of the regular files in folder name of dirFd and its subfolders to bytes.
bool HostTreeSize(int dirFd, const std::string& name, std::uint64_t& bytes);

// Copies every byte of the file open as from (read from its start, whatever its offset) to
// the end of to. False on a read or write failure (errno tells).
bool CopyFileBytes(int from, int to);

} // namespace portable
