// The card-control operations behind the library's tuner, sound, remote,
// camera and property-page exports, over one card. The exports pick the card
// (the one whose graph was built last) and pass it here; a null card means
// no card is connected.
#pragma once

#include "strova/card/Card.h"

#include <cstdint>

namespace strova::card {

// Writes the tuner programming message: 1 when f is in range, else 0
// (nothing written). The bus result is not reported.
int TuneFrequency(Card* card, int kHz);
// Tunes, waits for the tuner to settle, and reads the status byte up to
// three times: the window of the first reading when it shows the lock flag,
// else 0.
int TuneAndReadLock(Card* card, int kHz);
// The last key (0..0x1FF), acknowledged by writing the key bits back as ones.
int ReadRemoteKey(Card* card);
// Sound switch: on = tuner (or line) sound, off = mute. Returns 0.
int SetTunerSound(Card* card, int on);
int SetLineSound(Card* card, int on);

// Quick probes for the channel scan, waiting only as long as the tuner
// needs rather than the fixed settle time:
// the lock flag after the loop's lock time (1: a carrier in the tuner's
// capture range, 0: none or f out of range);
int TuneAndReadSignal(Card* card, int kHz);
// TuneAndReadLock's readings after the loop's lock and the AFC's settle time.
int TuneAndReadLockQuick(Card* card, int kHz);

// Tuner settle time before the first status reading (150 ms); tests shorten
// it here or with STROVA_TEST_TUNER_SETTLE_MS in the environment.
int TunerSettleMs();
void SetTunerSettleMsForTesting(int ms);

// Camera switch: writes 0xFE and the control byte for (slot, camera) in the
// order begin, start, byte, byte, stop. `stored` is the table entry for the
// slot: read when switching off, updated on success.
Status ChooseCamera(Card* card, int slot, int camera, uint8_t* stored);

}  // namespace strova::card
