// Files that are written whole or not at all: settings, table files, the log.
#pragma once

#include <string>
#include <string_view>

namespace orvio {

// Writes `bytes` to a temporary file in the same folder, flushes it to disk and renames it over
// `path` (through a symbolic link, its target is replaced). The new file keeps the permissions of
// the file it replaces. Returns false on any failure, removing the temporary file and leaving the
// previous file untouched; errno then tells why.
// The temporary file is named ".<name>.tmpXXXXXX" beside the file it replaces. Such files that a
// killed writer left behind for the same target are removed by the next write; other files, and
// the temporary file of a write still under way in another process, are left alone.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace orvio
