// The teletext window's page choice, without a toolkit: a page number
// typed digit by digit, previous and next page and subpage, the four
// coloured links and reveal.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace orvane {

class TeletextModel {
 public:
  static constexpr int kFirstPage = 100, kLastPage = 899, kIndexPage = 100;

  int Page() const { return page_; }
  // 0: the newest subpage received; else the subpage chosen.
  int Subpage() const { return subpage_; }
  bool Revealed() const { return reveal_; }
  // What the page-number field shows: the page, or the digits typed so far
  // ("1--", "12-").
  std::string EntryText() const;

  // A digit 0..9 typed; the third one chooses the page. A page number must
  // start with 1..8: any other first digit is ignored. True when the page changed.
  bool Digit(int digit);
  void NextPage() { Go(page_ == kLastPage ? kFirstPage : page_ + 1); }
  void PreviousPage() { Go(page_ == kFirstPage ? kLastPage : page_ - 1); }
  // Steps through the subpages received (ascending); none: nothing changes.
  void NextSubpage(const std::vector<int>& subpages) { StepSubpage(subpages, +1); }
  void PreviousSubpage(const std::vector<int>& subpages) { StepSubpage(subpages, -1); }
  // The red (0), green, yellow or cyan (3) key with the page's links (0: none).
  bool FollowLink(int colour, const std::array<int, 4>& links);
  void ToggleReveal() { reveal_ = !reveal_; }
  // Whether a cell with the page's flags is drawn (concealed text only when revealed).
  bool Shows(unsigned flags, unsigned concealFlag) const { return reveal_ || !(flags & concealFlag); }

 private:
  void Go(int page);
  void StepSubpage(const std::vector<int>& subpages, int step);

  int page_ = kIndexPage;
  int subpage_ = 0;
  bool reveal_ = false;
  std::string digits_;
};

}  // namespace orvane
