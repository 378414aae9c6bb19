// Which card each card index is, and the card whose base graph was built
// last (the one the tuner, sound and remote exports act on). The graph code
// binds a card when it connects it and marks it when its base graph is
// built; the card exports only read these.
#pragma once

#include "strova/card/Card.h"

#include <cstdint>
#include <memory>

namespace strova::card {

inline constexpr int kMaxCards = 32;

void BindCard(int index, std::shared_ptr<Card> card);
void UnbindCard(int index);
std::shared_ptr<Card> BoundCard(int index);

void SetControlCard(int index);
void ClearControlCard(int index);
std::shared_ptr<Card> ControlCard();

// Number of cards listed (0..31 valid below it); -1 = list on first use.
void SetCardCount(int count);
bool ValidCardIndex(int index);

// The camera selection table entry for (card, slot), kept across calls.
uint8_t* CameraTableEntry(int index, int slot);

// Graph run state around dialogs that need the graph stopped: returns the
// state before stopping (or -1 when there is no graph); restore puts it back.
using StopGraphFn = int (*)(int index);
using RestoreGraphFn = void (*)(int index, int state);
void SetGraphStateHooks(StopGraphFn stop, RestoreGraphFn restore);
int StopGraphForDialog(int index);
void RestoreGraphAfterDialog(int index, int state);

}  // namespace strova::card
