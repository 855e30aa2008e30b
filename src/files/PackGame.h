// A game's folder as the one zip the archive takes: every file the export wrote or kept,
// read back from the export folder, stored under "<folder>/<path>".
#pragma once

#include <string>
#include <vector>

#include "ports/ArchiveFile.h"
#include "ports/ExportFolder.h"

namespace pellimor {

// paths: below the game's folder, "/"-separated ("content/host/a.swf", "meta.yaml").
// metaFile, the description written (meta01.yaml when a meta.yaml was there already), is
// packed as meta.yaml, the only name the archive reads.
Status PackGame(const std::string& folderName, const std::vector<std::string>& paths,
                const std::string& metaFile, ExportFolder& folder, ArchiveFile& archive);

}  // namespace pellimor
