#include "TeletextModel.h"

#include <algorithm>

namespace orvane {

std::string TeletextModel::EntryText() const {
  if (digits_.empty()) return std::to_string(page_);
  return digits_ + std::string(3 - digits_.size(), '-');
}

bool TeletextModel::Digit(int digit) {
  if (digit < 0 || digit > 9) return false;
  if (digits_.empty() && (digit < 1 || digit > 8)) return false;
  digits_ += char('0' + digit);
  if (digits_.size() < 3) return false;
  const int page = std::stoi(digits_);
  digits_.clear();
  Go(page);
  return true;
}

bool TeletextModel::FollowLink(int colour, const std::array<int, 4>& links) {
  if (colour < 0 || colour > 3) return false;
  const int page = links[size_t(colour)];
  if (page < kFirstPage || page > kLastPage) return false;
  Go(page);
  return true;
}

void TeletextModel::Go(int page) {
  page_ = page;
  subpage_ = 0;
  reveal_ = false;
  digits_.clear();
}

void TeletextModel::StepSubpage(const std::vector<int>& subpages, int step) {
  if (subpages.empty()) return;
  auto it = std::find(subpages.begin(), subpages.end(), subpage_);
  if (it == subpages.end()) {
    // From the newest: the first step goes to the first (or last) subpage.
    subpage_ = step > 0 ? subpages.front() : subpages.back();
    return;
  }
  const auto n = long(subpages.size());
  const long i = ((it - subpages.begin()) + step + n) % n;
  subpage_ = subpages[size_t(i)];
}

}  // namespace orvane
