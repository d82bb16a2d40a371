// Files the tool writes at the end of a run (pictures, scope samples): they
// are checked before the run starts, so that a long run never ends with "cannot
// write".
#ifndef VELKOR_TOOLS_OUTPUT_FILE_H
#define VELKOR_TOOLS_OUTPUT_FILE_H

#include <string>

namespace velkor_tool {

// True when `file` can be created or written. A file that did not exist is
// not left behind. Otherwise false, with the reason in `error`.
bool CheckWritable(const std::string& file, std::string& error);
// Writes `text` to `file` as a whole; false with the reason in `error`.
bool WriteWholeFile(const std::string& file, const std::string& text, std::string& error);

} // namespace velkor_tool

#endif
