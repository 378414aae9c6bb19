// Video standard, colour properties, property pages and input routing over
// one card, with the status codes the library's exports return. A null card
// means the card has no capture device (E_FAIL) or no companion filter.
#pragma once

#include "strova/card/Card.h"

#include <cstdint>

namespace strova::card {

inline constexpr Status kWrongState = static_cast<Status>(0x80040227u);  // VFW_E_WRONG_STATE

Status GetVideoStandard(Card* card, long* current, long* available);
Status SetVideoStandard(Card* card, long standard);
// values: current, minimum, maximum, step, default, flags.
Status GetVideoProperty(Card* card, int property, long values[6]);
Status SetVideoProperty(Card* card, int property, long value);
Status GetVideoPropertyEx(Card* card, long a, int property, long* b);
Status SetVideoPropertyEx(Card* card, long a, int property, long b);
Status IsVideoSignalLocked(Card* card, long* locked);
Status RouteInput(Card* card, int input, int output);
Status RoutedInput(Card* card, int output, int* input);

// Property pages 0..11. *exists is cleared first; pages the card has no
// counterpart for report E_FAIL with *exists = 0.
Status PropertyPageExists(Card* card, int page, int* exists);
// Whether showing the page stops the graph while it is shown.
bool PropertyPageStopsGraph(int page);

}  // namespace strova::card
