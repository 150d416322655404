// The install manifest: the suite's 56 files in the order they are expanded, with their
// folder, packed name and the share of the progress bar each one moves. All names are
// 8.3 names; the removal writes them unchanged behind the folder's short form.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace install {

enum class Folder { Program, Doc, Icons };

struct ManifestRow {
    std::string_view target; // name in the installed folder, shown while the row runs
    Folder folder;
    std::string_view packed; // name of the compressed file in the source folder
    std::int16_t weight;     // percentage points added once the row is done
};

inline constexpr std::size_t kManifestRows = 56;

extern const std::array<ManifestRow, kManifestRows> kManifest;

// The folder's name below the program folder, with its trailing backslash ("" for the
// program folder itself).
std::string_view SubfolderOf(Folder folder);

} // namespace install
