// Writes the distribution folder: every manifest row's stand-in, expanded, into a staging
// folder, and packed with Debian's mscompress into the distribution under the row's packed
// name. Only what changed is written and packed again, so a rebuild that changed nothing
// (or only the setup program) costs little.
#pragma once

#include <cstddef>
#include <filesystem>

namespace make_dist {

struct DistributionPaths {
    std::filesystem::path setup;      // the setup program, as its row installs it
    std::filesystem::path staging;    // the expanded files, named as installed
    std::filesystem::path out;        // the packed files, named as the manifest packs them
    std::filesystem::path mscompress; // the packer: writes FILE_ beside FILE
};

struct DistributionReport {
    std::size_t files = 0;   // rows of the manifest
    std::size_t written = 0; // expanded files written because their contents changed
    std::size_t packed = 0;  // files packed (changed, or their packed file was missing or older)
    std::size_t removed = 0; // packed files in out no row names any more
};

// Throws std::runtime_error naming the file and what failed; packed files are replaced
// only by complete new ones.
DistributionReport MakeDistribution(const DistributionPaths& paths);

} // namespace make_dist
