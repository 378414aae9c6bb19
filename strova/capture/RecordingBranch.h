// The recording branch of a card's graph: MPEG (video and audio encoders into
// the multiplexer, which writes the file) or AVI (uncompressed into the AVI
// multiplexer and the file writer), each with its own preview path into the
// renderer. Built with the graph stopped.
#pragma once

#include "strova/core/Context.h"

#include <memory>

namespace strova::capture {

// Builds the branch from the recording values in the settings key. S_OK, or
// E_FAIL with what was added left for the recording teardown.
STROVA_STATUS BuildRecordingBranch(int card, core::CardContext& c);

// Lets the streams end so the file is complete (end codes, AVI index):
// end-of-stream is sent through the graph and waited for at the file's
// writer for up to timeoutMs. Call while the graph still runs.
void FinishRecordingFile(int card, core::CardContext& c, int timeoutMs);

// The branch's writer objects of a card are released (after the teardown).
void ForgetRecording(int card);

class FrameCounter;
// The counts of the card's recording running or last made; null before the
// first one.
std::shared_ptr<const FrameCounter> RecordingCounter(int card);

}  // namespace strova::capture
