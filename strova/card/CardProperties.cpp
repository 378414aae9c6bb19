#include "strova/card/CardProperties.h"

namespace strova::card {
namespace {

constexpr int kMaxProperty = 8;
constexpr int kMaxPropertyEx = 3;

}  // namespace

Status GetVideoStandard(Card* card, long* current, long* available) {
  if (card == nullptr) return kFail;
  Status st = kOk;
  if (available != nullptr) {
    st = card->GetAvailableStandards(available);
    if (st != kOk) return st;
  }
  if (current != nullptr) st = card->GetStandard(current);
  return st;
}

Status SetVideoStandard(Card* card, long standard) {
  if (card == nullptr) return kFail;
  return card->SetStandard(standard);
}

Status GetVideoProperty(Card* card, int property, long values[6]) {
  if (values == nullptr) return kInvalidArg;
  if (card == nullptr) return kFail;
  if (property < 0 || property > kMaxProperty) return kInvalidArg;
  const auto p = static_cast<ProcAmp>(property);
  PropertyRange r;
  Status st = card->GetPropertyRange(p, &r);
  if (st != kOk) return st;
  values[1] = (r.min);
  values[2] = (r.max);
  values[3] = (r.step);
  values[4] = (r.def);
  values[5] = (r.flags);
  long value = 0, flags = 0;
  st = card->GetProperty(p, &value, &flags);
  if (st == kOk) values[0] = value;
  return st;
}

Status SetVideoProperty(Card* card, int property, long value) {
  if (card == nullptr) return kFail;
  if (property < 0 || property > kMaxProperty) return kInvalidArg;
  return card->SetProperty(static_cast<ProcAmp>(property), value, kProcAmpFlagManual);
}

Status GetVideoPropertyEx(Card* card, long a, int property, long* b) {
  if (card == nullptr) return kWrongState;
  if (property < 0 || property > kMaxPropertyEx || b == nullptr) return kInvalidArg;
  return card->GetColorEx(a, property, b);
}

Status SetVideoPropertyEx(Card* card, long a, int property, long b) {
  if (card == nullptr) return kWrongState;
  if (property < 0 || property > kMaxPropertyEx) return kInvalidArg;
  return card->SetColorEx(a, property, b);
}

Status IsVideoSignalLocked(Card* card, long* locked) {
  if (locked == nullptr) return kInvalidArg;
  if (card == nullptr) return kFail;
  long flag = 0;
  const Status st = card->GetHorizontalLocked(&flag);
  if (st == kOk) *locked = flag ? 1 : 0;
  return st;
}

Status RouteInput(Card* card, int input, int output) {
  if (card == nullptr) return kFail;
  if (input < 0 || input >= card->InputCount() || output < 0 || output >= card->OutputCount())
    return kInvalidArg;
  return card->Route(input, output);
}

Status RoutedInput(Card* card, int output, int* input) {
  if (input == nullptr) return kInvalidArg;
  if (card == nullptr) return kFail;
  if (output < 0 || output >= card->OutputCount()) return kInvalidArg;
  int in = -1;
  const Status st = card->RoutedInput(output, &in);
  if (st == kOk) *input = in;
  return st;
}

Status PropertyPageExists(Card* card, int page, int* exists) {
  if (exists == nullptr) return kInvalidArg;
  *exists = 0;
  if (page < 0 || page >= kPageCount) return kInvalidArg;
  if (card == nullptr) return kFail;
  if (!card->HasPropertyPage(page)) return kFail;
  *exists = 1;
  return kOk;
}

bool PropertyPageStopsGraph(int page) {
  return page == 1 || page == 2 || page == 5 || page == 9 || page == 10 || page == 11;
}

}  // namespace strova::card
