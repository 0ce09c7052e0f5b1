#include "tools/refjunc/junction_table.hpp"

#include <algorithm>

namespace quilm::refjunc {
namespace {

// Evidence at D or A writes up to D + 2 and A + 2, and a junction's right
// anchor is read at A + 1; two spare entries keep all of them in bounds.
constexpr long long kSpare = 2;

bool occupied(const JunctionTable& t, long long x) {
  return t.support[x] > 0;
}

void set_partner(JunctionTable& t, long long x, std::uint32_t value) {
  t.partner[x] = value;
  t.touched.push_back(x);
}

void add_support(JunctionTable& t, long long x, double weight) {
  t.support[x] = static_cast<float>(static_cast<double>(t.support[x]) + weight);
  t.touched.push_back(x);
}

void set_support(JunctionTable& t, long long x, float value) {
  t.support[x] = value;
  t.touched.push_back(x);
}

// The first occupied coordinate of x, x + 1, or -1.
long long probe(const JunctionTable& t, long long x) {
  if (occupied(t, x)) return x;
  if (occupied(t, x + 1)) return x + 1;
  return -1;
}

void found_junction(JunctionTable& t, const JunctionEvidence& e) {
  const long long d = e.donor;
  const long long a = e.acceptor;
  set_partner(t, d, static_cast<std::uint32_t>(a));
  set_partner(t, d + 1, static_cast<std::uint32_t>(e.left_anchor));
  set_partner(t, a + 1, static_cast<std::uint32_t>(e.right_anchor));
  add_support(t, d, e.weight);
  add_support(t, a, e.weight);
  if (e.errors != 0) set_support(t, d + 1, static_cast<float>(e.errors));
}

void merge_junction(JunctionTable& t, long long x, long long y, const JunctionEvidence& e) {
  // The junction keeps its first coordinates; anchors only grow.
  set_partner(t, x + 1, std::max(t.partner[x + 1], static_cast<std::uint32_t>(e.left_anchor)));
  set_partner(t, y + 1, std::max(t.partner[y + 1], static_cast<std::uint32_t>(e.right_anchor)));
  add_support(t, x, e.weight);
  add_support(t, y, e.weight);
  if (static_cast<float>(e.errors) < t.support[x + 1])
    set_support(t, x + 1, static_cast<float>(e.errors));
}

}  // namespace

void reset_junction_table(JunctionTable& t, long long length) {
  const long long padded = length + 1000 + kSpare;
  if (static_cast<long long>(t.partner.size()) < padded) {
    t.partner.assign(static_cast<std::size_t>(padded), 0);
    t.support.assign(static_cast<std::size_t>(padded), 0.0f);
  } else {
    for (long long x : t.touched) {
      t.partner[x] = 0;
      t.support[x] = 0.0f;
    }
  }
  t.touched.clear();
  t.length = length;
  t.size = length + 1000;
}

Placement place_evidence(JunctionTable& t, const JunctionEvidence& e) {
  const long long d = e.donor;
  const long long a = e.acceptor;
  if (d < 0 || a < 0 || d >= t.size || a >= t.size) return Placement::kOutside;
  int left = 0;
  const long long x = probe(t, d);
  if (x >= 0) {
    const long long partner = t.partner[x];
    left = (partner >= a - 1 && partner <= a + 1) ? 1 : 2;
  }
  int right = 0;
  const long long y = probe(t, a);
  if (y >= 0) right = t.partner[y] != 0 ? 2 : 1;
  if (left == 0 && right == 0) {
    found_junction(t, e);
    return Placement::kFounded;
  }
  if (left == 1 && right == 1) {
    merge_junction(t, x, y, e);
    return Placement::kMerged;
  }
  return Placement::kDeferred;
}

void write_junctions(JunctionTable& t, const std::string& chromosome, char strand,
                     long& junction_number, OutputFile& out) {
  std::vector<long long>& xs = t.touched;
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  const auto padded = static_cast<long long>(t.partner.size());
  for (long long x : xs) {
    if (x >= t.length) break;
    const long long a = t.partner[x];
    // A stored anchor can look like a donor; its "acceptor" may lie beyond the table.
    if (a == 0 || t.partner[x + 1] == 0 || a + 1 >= padded || t.partner[a + 1] == 0) continue;
    const float weight = t.support[x];
    const long long support = weight < 1.0f ? 1 : static_cast<long long>(weight);
    out.write_int(++junction_number);
    out.put(' ');
    out.write(chromosome);
    out.put(' ');
    out.put(strand);
    out.put(' ');
    out.write_int(x);
    out.put(',');
    out.write_int(a);
    out.put(' ');
    out.write_int(t.partner[x + 1]);
    out.put(',');
    out.write_int(t.partner[a + 1]);
    out.put(' ');
    out.write_int(support);
    out.put('\n');
  }
}

}  // namespace quilm::refjunc
