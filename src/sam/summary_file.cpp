#include "sam/summary_file.hpp"

#include <cstdio>

namespace quilm::sam {

namespace {

double percent(long part, long whole) {
  return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

// "<indent><n> (<p>%) <what>\n"
void share_line(std::string& text, const char* indent, long n, long whole, const char* what) {
  char line[160];
  std::snprintf(line, sizeof line, "%s%ld (%.2f%%) %s\n", indent, n, percent(n, whole), what);
  text += line;
}

void count_line(std::string& text, const char* indent, long n, const char* what) {
  text += indent + std::to_string(n) + " " + what + "\n";
}

void rate_line(std::string& text, long aligned, long whole) {
  char line[64];
  std::snprintf(line, sizeof line, "%.2f%% overall alignment rate\n", percent(aligned, whole));
  text += line;
}

// "aligned[ how] 0 times", "exactly 1 time", ">1 times", each a share of
// `whole`.
void times_lines(std::string& text, const char* indent, const std::string& how, long once,
                 long more, long whole) {
  share_line(text, indent, whole - once - more, whole, ("aligned " + how + "0 times").c_str());
  share_line(text, indent, once, whole, ("aligned " + how + "exactly 1 time").c_str());
  share_line(text, indent, more, whole, ("aligned " + how + ">1 times").c_str());
}

std::string single_text(const SummaryCounts& c) {
  std::string text;
  count_line(text, "", c.reads, "reads; of these:");
  share_line(text, "  ", c.reads, c.reads, "were unpaired; of these:");
  times_lines(text, "    ", "", c.once, c.more, c.reads);
  rate_line(text, c.once + c.more, c.reads);
  return text;
}

std::string paired_text(const SummaryCounts& c) {
  std::string text;
  count_line(text, "", c.reads, "reads; of these:");
  share_line(text, "  ", c.reads, c.reads, "were paired; of these:");
  const long not_concordant = c.reads - c.concordant_once - c.concordant_more;
  times_lines(text, "    ", "concordantly ", c.concordant_once, c.concordant_more, c.reads);
  text += "    ----\n";
  count_line(text, "    ", not_concordant, "pairs aligned concordantly 0 times; of these:");
  share_line(text, "      ", c.discordant_once, not_concordant, "aligned discordantly 1 time");
  text += "    ----\n";
  const long rest = not_concordant - c.discordant_once;
  count_line(text, "    ", rest, "pairs aligned 0 times concordantly or discordantly; of these:");
  const long mates = 2 * rest;
  count_line(text, "      ", mates, "mates make up the pairs; of these:");
  times_lines(text, "        ", "", c.mates_once, c.mates_more, mates);
  const long paired_mates = 2 * (c.concordant_once + c.concordant_more + c.discordant_once);
  rate_line(text, paired_mates + c.mates_once + c.mates_more, 2 * c.reads);
  return text;
}

void count_mate(SummaryCounts& c, int records) {
  if (records == 1) ++c.mates_once;
  if (records > 1) ++c.mates_more;
}

}  // namespace

void count_single(SummaryCounts& c, int records) {
  if (records == 1) ++c.once;
  if (records > 1) ++c.more;
}

void count_pair(SummaryCounts& c, int concordant, int mate1_records, int mate2_records) {
  if (concordant == 1) {
    ++c.concordant_once;
  } else if (concordant > 1) {
    ++c.concordant_more;
  } else if (mate1_records == 1 && mate2_records == 1) {
    ++c.discordant_once;
  } else {
    count_mate(c, mate1_records);
    count_mate(c, mate2_records);
  }
}

void add_counts(SummaryCounts& total, const SummaryCounts& part) {
  total.once += part.once;
  total.more += part.more;
  total.concordant_once += part.concordant_once;
  total.concordant_more += part.concordant_more;
  total.discordant_once += part.discordant_once;
  total.mates_once += part.mates_once;
  total.mates_more += part.mates_more;
}

std::string summary_text(const SummaryCounts& c) {
  return c.paired ? paired_text(c) : single_text(c);
}

}  // namespace quilm::sam
