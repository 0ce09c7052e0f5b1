// Choosing the cut point of a split read: where the read leaves the first
// placement and continues at the second, with donor and acceptor signals on
// the reference around the intron between them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quilm {

// The signal families: kForward reads GT-AG (type 3), GC-AG and AT-AC
// (type 2); kReverse is the same set as it reads on the other strand:
// CT-AC (type 3), CT-GC and GT-AT (type 2).
enum class SignalFamily { kForward, kReverse };

// Type of the signal with donor d1 d2 (the intron's first two bases) and
// acceptor a1 a2 (its last two): 3, 2, or 0 for none.
int signal_type(SignalFamily family, char d1, char d2, char a1, char a2);

// Mismatch profiles of one pair, reused from pair to pair.
struct CutScratch {
  std::vector<int> left;   // left[i]: mismatches of q[0..i] against the first window
  std::vector<int> right;  // right[j]: mismatches of q[j..] against the second window
};

struct SpliceCut {
  int split = 0;   // 0-based index of the first part's last base
  int errors = 0;  // mismatches of both parts at that cut
};

// Evaluates the sequence q split between the windows w1 (first placement)
// and w2 (second placement), each q.size() segment bases long, for one
// family. Writes one digit per base of q into `signals` ('3' or '2' where a
// signal was seen at a cut within max_errors, '0' elsewhere) and returns true
// with the chosen cut, or false when no cut is accepted.
bool evaluate_pair(std::string_view q, const char* w1, const char* w2, SignalFamily family,
                   int seed_length, int max_errors, CutScratch& scratch, std::string& signals,
                   SpliceCut& cut);

}  // namespace quilm
