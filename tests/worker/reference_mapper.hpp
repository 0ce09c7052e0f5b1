// A slow, direct mapper for the tests (best, export-all, first-hit and
// indel passes): hit counters over the whole segment, MapCandidate entries
// whose hits are cleared by scanning the list, the table of written starts,
// a naive seed lookup. The worker's own mapping code must write exactly the
// same records.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/seed_buckets.hpp"

namespace quilm::test {

struct RefSettings {
  int E = 2;
  int L = 6;
  int indel = 0;
  int best = 1;
  int uni = 0;
  int export_all = 0;
};

class ReferenceMapper {
 public:
  ReferenceMapper(std::string segment, RefSettings s) : seg_(std::move(segment)), s_(s) {
    for_each_seed(seg_, s_.L, [&](long k, int pos) { index_[k].push_back(pos); });
  }

  std::string map_all(const std::vector<std::pair<int, std::string>>& reads) {
    out_.clear();
    for (const auto& r : reads) map_one(r.first, r.second);
    return out_;
  }

 private:
  struct Cand {
    long start;
    int hits;
  };

  static std::string revcomp(const std::string& r) {
    std::string o(r.rbegin(), r.rend());
    for (char& c : o) {
      if (c == 'A')
        c = 'T';
      else if (c == 'T')
        c = 'A';
      else if (c == 'C')
        c = 'G';
      else if (c == 'G')
        c = 'C';
    }
    return o;
  }
  char segbyte(long i) const {  // 0-based; past the end: zero
    return (i >= 0 && i < static_cast<long>(seg_.size())) ? seg_[i] : '\0';
  }
  int verify(const std::string& t, long start) const {
    int c = 0;
    for (std::size_t i = 0; i < t.size(); ++i)
      if (segbyte(start - 1 + static_cast<long>(i)) != t[i] && ++c > s_.E) return c;
    return c;
  }
  int align(const std::string& t, long start) const {
    const int n = static_cast<int>(t.size()), E = s_.E, W = 2 * E;
    long from = start - 1 - E;
    if (from < 0) from = 0;
    std::string w;
    for (int i = 0; i < n + 2 * E; ++i) w.push_back(segbyte(from + i));
    std::vector<std::vector<int>> cell(n, std::vector<int>(W + 1, 0));
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j <= W; ++j) {
        int v;
        if (i == 0) {
          v = t[0] == w[j] ? 1 : 0;
          if (j > 0) v = std::max(v, cell[0][j - 1] - 1);
          v = std::max(v, 0);
        } else {
          int dg = cell[i - 1][j] + (t[i] == w[i + j] ? 1 : -1);
          if (dg < 0) dg = 0;
          int left = j > 0 ? cell[i][j - 1] - 1 : 0;
          int up = j < W ? cell[i - 1][j + 1] - 1 : 0;
          v = std::max({dg, left, up});
        }
        cell[i][j] = v;
      }
      int M = *std::max_element(cell[i].begin(), cell[i].end());
      if (i - W > M) return -1;
      if (i == n - 1) return (n - M) / 2;
    }
    return -1;
  }
  void write(int number, const std::string& read, char strand, int e, long start) {
    out_ += std::to_string(number) + "\t" + read + "\n" + strand + "\t1\t" + std::to_string(e) +
            "\t" + std::to_string(start - 1) + "\n";
  }
  int threshold(int S, int rem) const {
    const int E = s_.E;
    if (rem == 0) return S - E >= 2 ? S - E - 1 : 0;
    return S - E >= 3 ? S - E - 2 : 0;
  }
  // Candidate collection of seeds 0..voting-1 of t.
  std::vector<Cand> collect(const std::string& t, int voting, bool bounded) {
    const int n = static_cast<int>(t.size()), L = s_.L;
    const int S = (n + L - 1) / L;
    std::vector<Cand> list;
    std::map<long, int> counter;
    for (int i = 0; i < voting; ++i) {
      const int off = i == S - 1 ? n - L : i * L;
      long k = seed_key(t, off, L);
      if (k < 0) continue;
      auto it = index_.find(k);
      if (it == index_.end()) continue;
      for (int p : it->second) {
        long start = p - off;
        if (start <= 0) continue;
        if (bounded && !(start < static_cast<long>(seg_.size()) - n)) continue;
        list.push_back({start, ++counter[start]});
      }
    }
    return list;
  }

  void map_one(int number, const std::string& read) {
    const int n = static_cast<int>(read.size()), L = s_.L;
    if (n < L) return;
    if (s_.best == 0) return first_hit(number, read);
    if (s_.best != 1) return;
    if (s_.export_all != 0 && s_.export_all != 1) return;
    const int S = (n + L - 1) / L, rem = n % L, E = s_.E;
    const bool both = s_.uni == 0;
    std::string rc = revcomp(read);
    std::vector<Cand> F = collect(read, S, true);
    std::vector<Cand> R = both ? collect(rc, S, true) : std::vector<Cand>{};
    struct Side {
      char name;
      const std::string* text;
      std::vector<Cand>* list;
    };
    std::vector<Side> sides{{'F', &read, &F}};
    if (both) sides.push_back({'R', &rc, &R});
    int T = threshold(S, rem);

    if (s_.export_all == 0) {
      for (auto& sd : sides)
        for (auto& c : *sd.list)
          if (c.hits == S) return write(number, read, sd.name, 0, c.start);
      if (T < S - 1) {
        int best = E + 1;
        long best_start = 0;
        char bs = 'F';
        for (int d = 1; S - d > T; ++d) {
          for (auto& sd : sides) {
            for (auto& c : *sd.list) {
              if (c.hits != S - d) continue;
              int e = verify(*sd.text, c.start);
              if (e > E) continue;
              if (e == 1 || e < d || (rem == 0 && e == d))
                return write(number, read, sd.name, e, c.start);
              if (e < best) best = e, best_start = c.start, bs = sd.name;
            }
          }
          if (best_start > 0 && best <= d) return write(number, read, bs, best, best_start);
        }
        if (best_start > 0) return write(number, read, bs, best, best_start);
      }
      if (s_.indel == 1 && S - 1 >= 1) {
        int best = E + 1;
        long best_start = 0;
        char bs = 'F';
        for (int l = S - 1; l >= 1; --l) {
          for (auto& sd : sides)
            for (auto& c : *sd.list) {
              if (c.hits != l) continue;
              int e = align(*sd.text, c.start);
              if (e >= 0 && e < best) best = e, best_start = c.start, bs = sd.name;
            }
          if (best_start > 0) return write(number, read, bs, best, best_start);
        }
      }
      return;
    }

    // export-all
    bool any = false;
    for (auto& sd : sides)
      for (auto& c : *sd.list)
        if (c.hits == S) write(number, read, sd.name, 0, c.start), any = true;
    if (any) return;
    bool found = false;
    if (T < S - 1) {
      int best = E + 1;
      long tentative = 0;
      for (int d = 1; S - d > T; ++d) {
        for (auto& sd : sides) {
          for (std::size_t i = 0; i < sd.list->size(); ++i) {
            Cand c = (*sd.list)[i];
            if (c.hits != S - d) continue;
            int e = verify(*sd.text, c.start);
            if (e > E) continue;
            bool take = false;
            if (e == 1 || e < d || (rem == 0 && e == d))
              take = true, found = true;
            else if (e < best)
              take = true, tentative = c.start, best = e;
            if (take) {
              write(number, read, sd.name, e, c.start);
              for (auto& o : *sd.list)
                if (o.start == c.start) o.hits = 0;
            }
          }
        }
        if (found) break;
        if (tentative) {
          if (rem == 0 && S - best >= 2)
            T = std::max(T, S - best - 1);
          else if (rem > 0 && S - best >= 3)
            T = std::max(T, S - best - 2);
        }
      }
    }
    if (!found && s_.indel == 1 && S - 1 >= 1) {
      for (int l = S - 1; l >= 1; --l) {
        int best = E + 1;
        bool accepted = false;
        for (auto& sd : sides) {
          std::vector<long> written;
          for (auto& c : *sd.list) {
            if (c.hits != l) continue;
            int e = align(*sd.text, c.start);
            if (e >= 0 && e < best) {
              best = e;
              accepted = true;
              if (std::find(written.begin(), written.end(), c.start) == written.end()) {
                write(number, read, sd.name, e, c.start);
                if (written.size() < 100) written.push_back(c.start);
              }
            }
          }
        }
        if (accepted) break;
      }
    }
  }

  void first_hit(int number, const std::string& read) {
    if (first_hit_search(number, read, read, 'F')) return;
    if (s_.uni != 0) return;
    first_hit_search(number, read, revcomp(read), 'R');
  }
  bool first_hit_search(int number, const std::string& read, const std::string& t, char strand) {
    const int n = static_cast<int>(t.size()), L = s_.L, E = s_.E;
    int S = (n + L - 1) / L;
    const int rem = n % L;
    bool reduced = false;
    if (S > 9 && s_.indel == 1 && E < S) S = E + 1, reduced = true;
    std::vector<Cand> list = collect(t, S, false);
    for (auto& c : list)
      if (c.hits == S) {
        int e = reduced ? verify(t, c.start) : 0;
        if (e <= E) return write(number, read, strand, e, c.start), true;
      }
    int T = threshold(S, rem);
    if (T < S - 1)
      for (int l = S - 1; l > T; --l)
        for (auto& c : list)
          if (c.hits == l) {
            int e = verify(t, c.start);
            if (e <= E) return write(number, read, strand, e, c.start), true;
          }
    if (s_.indel == 1 && S - 1 >= 1)
      for (int l = S - 1; l >= 1; --l)
        for (auto& c : list)
          if (c.hits == l) {
            int e = align(t, c.start);
            if (e >= 0) return write(number, read, strand, e, c.start), true;
          }
    return false;
  }

  std::string seg_;
  RefSettings s_;
  std::map<long, std::vector<int>> index_;
  std::string out_;
};

}  // namespace quilm::test
