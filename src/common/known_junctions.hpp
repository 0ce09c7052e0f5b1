// Known junctions: the introns of a GTF or GFF annotation, or the lines of
// a refjunc junction table.
#pragma once

#include <string>
#include <vector>

#include "common/junction_file.hpp"

namespace quilm {

// The introns between consecutive exons of each transcript of a GTF or GFF
// annotation, or the junctions of a refjunc table ("<n> <chromosome>
// <strand> <donor>,<acceptor> <left>,<right> <support>", donor the last exon
// base, acceptor the first base after the intron, 1-based). Sorted, without
// repeats. Throws IoError when the file cannot be read, InputError when it
// is in neither format or names no junction.
std::vector<ChromosomeJunction> read_known_junctions(const std::string& path);

// Sorts and keeps one junction of each intron (the first strand of those
// that differ only in it).
void sort_unique_junctions(std::vector<ChromosomeJunction>& junctions);

}  // namespace quilm
