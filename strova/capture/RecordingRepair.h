// Recordings that were cut off (the process killed, the power gone): each
// recording is noted in a journal under StateDir()/recordings/ while it runs
// and struck off when its file is complete. At the next start the files of
// notes whose process is gone are repaired: an AVI file, which gets its index
// only at the end, is copied stream by stream into a new file with an index,
// which replaces the original only once it is complete. MPEG program streams
// need no index and are left as they are.
#pragma once

#include <atomic>
#include <string>

namespace strova::capture {

// Notes a recording of `file` by this process; returns the note's path ("" when
// it cannot be written, which only costs the repair).
std::string JournalBegin(const std::string& file);
// Strikes the note off (the file is complete).
void JournalEnd(const std::string& note);

// Repairs the file if it is an AVI file; true when the file needs nothing
// more (repaired, not AVI, or gone), false when it could not be repaired now
// (cancelled, no room). The original stays until its repair is complete.
bool RepairRecording(const std::string& file, const std::atomic<bool>& cancel, std::string* error = nullptr);

// Whether the file holds at least one picture a player can read. A
// recording cut off before its first picture (the card unplugged at once)
// may hold a header and no picture, or nothing at all.
bool HoldsPictures(const std::string& file);
// Removes a finished recording that holds no picture; true when it did.
bool DiscardEmptyRecording(const std::string& file);

// Repairs the files of every note whose process has ended and strikes the
// note off once the file needs nothing more. Returns the number repaired.
int RepairInterruptedRecordings(const std::atomic<bool>& cancel);

// The same on a thread of its own (started by the library's initialisation,
// so a long copy does not hold it up); StopRepairs cancels and joins it.
void StartRepairs();
void StopRepairs();

}  // namespace strova::capture
