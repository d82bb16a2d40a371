// The folders velkor keeps in the temporary folder while it runs (a run's
// reports, the page's monitor socket), each with an owner file naming the
// velkor process that made it, so that the folders of a velkor that was
// killed outright are cleared by the next one.
#ifndef VELKOR_TOOLS_RUN_FOLDER_H
#define VELKOR_TOOLS_RUN_FOLDER_H

#include <string>

namespace velkor_tool {

// TMPDIR, else /tmp.
std::string TemporaryBase();
// A new empty folder base/PREFIXxxxxxx of this user's alone, with its owner
// file; its path, or empty with the reason in `error`. Clears the folders of
// velkors that ended without removing theirs first (ClearDeadFolders).
std::string MakeOwnedFolder(const std::string& base, const std::string& prefix, std::string& error);
// Removes base/velkor-run.* and base/velkor-web-* folders that belong to
// this user and whose owner file names a velkor process that is gone.
// Folders of other users, without an owner file, or of a living process
// are left alone. Returns how many were removed.
int ClearDeadFolders(const std::string& base);

} // namespace velkor_tool

#endif
