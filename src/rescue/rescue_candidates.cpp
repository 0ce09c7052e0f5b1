#include "rescue/rescue_candidates.hpp"

namespace quilm {

void CandidateLoci::choose(const CandidateLimits& limits) {
  std::sort(hits_.begin(), hits_.end());
  runs_.clear();
  for (std::size_t a = 0; a < hits_.size();) {
    std::size_t b = a;
    while (b < hits_.size() && hits_[b] == hits_[a]) ++b;
    runs_.push_back({-static_cast<int>(b - a), hits_[a]});
    a = b;
  }
  // Most seeds first, then the lower diagonal: the same choice in any run.
  const std::size_t keep = std::min(runs_.size(), limits.max_diagonals);
  std::partial_sort(runs_.begin(), runs_.begin() + static_cast<std::ptrdiff_t>(keep), runs_.end());
  runs_.resize(keep);
  std::sort(runs_.begin(), runs_.end(),
            [](const auto& x, const auto& y) { return x.second < y.second; });
  chosen_.clear();
  locus_start_.clear();
  locus_support_.clear();
  for (std::size_t k = 0; k < runs_.size(); ++k) {
    if (k == 0 || runs_[k].second - runs_[k - 1].second > limits.locus_span) {
      locus_start_.push_back(chosen_.size());
      locus_support_.push_back(0);
    }
    chosen_.push_back(runs_[k].second);
    locus_support_.back() -= runs_[k].first;
  }
  if (!chosen_.empty()) locus_start_.push_back(chosen_.size());
}

}  // namespace quilm
