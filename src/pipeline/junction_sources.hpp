// Where the rescue stage's known junctions come from: the run's own split
// hits, and a file given with --junctions (a GTF or GFF annotation, or a
// junction table of refjunc).
#pragma once

#include <string>
#include <vector>

#include "common/junction_file.hpp"
#include "common/known_junctions.hpp"
#include "pipeline/segmentation.hpp"

namespace quilm {

// The junctions of the merged split hits in `splice_merged` (chromosome
// coordinates) that are supported by two or more reads, or by one read
// whose only best split hit is of high quality (at most 0.05 x length + 1.5
// errors). Sorted, without repeats.
std::vector<ChromosomeJunction> run_junctions(const std::string& splice_merged);

// read_known_junctions: see common/known_junctions.hpp.

// How the known junctions fit the reference: those on a chromosome it does
// not hold, those with intron bases past their chromosome's end (each with
// the first such junction's chromosome as an example), and the others.
struct JunctionFit {
  long unknown_chromosome = 0;
  std::string unknown_example;
  long past_end = 0;
  std::string past_end_example;
  long fitting = 0;
};
JunctionFit fit_known_junctions(const std::vector<ChromosomeJunction>& known,
                                const std::vector<FastaSequence>& reference);

// For junctions read from `path`: a warning text with the counts of those
// that match nothing (empty when all fit). Throws InputError naming both
// files when none fits: the rescue would run as if none were given.
std::string check_known_junctions(const std::string& path,
                                  const std::vector<ChromosomeJunction>& known,
                                  const std::string& ref_path,
                                  const std::vector<FastaSequence>& reference);

// Both lists in one, sorted, without repeats (the same intron on both
// strands is kept once, with the first strand).
std::vector<ChromosomeJunction> merge_junctions(std::vector<ChromosomeJunction> a,
                                                const std::vector<ChromosomeJunction>& b);

}  // namespace quilm
