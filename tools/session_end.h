// The end of a session file (velkor run --record, docs/monitor.md): whether
// the recording ended as it should, with its end line, or was cut (a full
// disk, a signal, a program that never ended its monitor).
#ifndef VELKOR_TOOLS_SESSION_END_H
#define VELKOR_TOOLS_SESSION_END_H

#include <string>

namespace velkor_tool {

// Empty when the session file ends with a whole end line of a complete
// recording; otherwise what is wrong ("the recording was cut: ..."), for
// the readers (velkor plot, velkor web) to say.
std::string SessionCut(const std::string& file);

// After a run that recorded to `file`: a file that does not end with an end
// line (the program was ended by a signal, or ended before its monitor
// could finish the file) is cut back to its last whole line and given an
// end line that says it is incomplete, with `why`. Returns SessionCut's
// answer for the file as it is then; "nothing was recorded" when there is
// no whole line in it.
std::string EndSessionFile(const std::string& file, const std::string& why);

// velkor run's ending of the session it recorded (EndSessionFile, with the
// signal that ended the program, 0: none): says on stderr where the session
// is, or that it is incomplete and why. False when it is incomplete.
bool FinishRecording(const std::string& file, int signal);

// velkor run's exit status when the program passed but its recorded session
// is incomplete (sysexits' EX_IOERR).
constexpr int kRecordingIncompleteExitCode = 74;

} // namespace velkor_tool

#endif
