// Output files that are never left half-written: each is written under a
// temporary name in its own folder, flushed, synced and closed, checked, and
// only then renamed over the final name. Targets that are not regular files
// (a terminal, a pipe, /dev/full) cannot be replaced by a rename; they are
// written in place and every write is checked.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace runner {

// Checks before a run that `path` can take a file: its folder exists and
// takes a new file with some bytes in it (so a read-only or already full
// file system is caught here), and the path is not a folder. False with a
// one-line reason in *why.
bool checkOutputFile(const std::string& path, std::string* why);

// Creates `dir` and its parents when missing, then checks that it is a
// folder that takes new files. False with a one-line reason in *why.
bool prepareOutputFolder(const std::string& dir, std::string* why);

// True for a path that names an existing file that is not a regular file.
bool isSpecialFile(const std::string& path);

// Replaces `path` with `bytes`. False with a one-line reason in *why; the
// previous file, if any, is then left as it was and no temporary remains.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* why);

// The same for a writer that makes the file itself (a PNG encoder, say):
// `write` gets the temporary path and returns false when it failed.
bool replaceFileAtomically(const std::string& path, const std::function<bool(const std::string&)>& write,
                           std::string* why);

// Removes the temporary of a replacement in progress, if any; safe to call
// from a signal handler that is about to end the process.
void removeTemporaryInProgress();

}  // namespace runner
