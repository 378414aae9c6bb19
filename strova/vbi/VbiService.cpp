#include "strova/vbi/VbiService.h"

#include <chrono>

namespace strova::vbi {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

VbiService::VbiService(std::unique_ptr<VbiSource> source)
    : source_(std::move(source)), startedAt_(Now()), thread_([this] { Run(); }) {}

VbiService::~VbiService() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void VbiService::Run() {
  VbiFrame frame;
  while (!stop_) {
    if (!source_->Read(frame, 100)) {
      if (source_->Failed()) return;
      continue;
    }
    anyFrame_ = true;
    decoder_.Decode(frame);
  }
}

int VbiService::State() const {
  const double now = Now();
  if (!anyFrame_)
    return now - startedAt_ < kTeletextWaitSeconds ? STROVA_VBI_WAITING : STROVA_VBI_NO_TELETEXT;
  return decoder_.State(now);
}

}  // namespace strova::vbi
