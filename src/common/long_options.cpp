#include "common/long_options.hpp"

#include <algorithm>
#include <numeric>

#include "common/errors.hpp"

namespace quilm {

namespace {

// A help line lists an option two blanks in: "  --name=<value>  meaning".
constexpr std::string_view kOptionIndent = "  --";

const LongOption* find_option(const std::vector<LongOption>& known, std::string_view name) {
  for (const LongOption& option : known)
    if (option.name == name) return &option;
  return nullptr;
}

std::string spelled(const LongOption& option) {
  return "--" + option.name + (option.takes_value ? "=" : "");
}

// A suggestion is worth making when it is nearer to what was typed than to
// a different word: at most a third of the letters (and at least two) off.
std::string closest_suggestion(std::string_view name, const std::vector<LongOption>& known) {
  const LongOption* best = nullptr;
  std::size_t best_distance = 0;
  for (const LongOption& option : known) {
    const std::size_t d = edit_distance(name, option.name);
    if (!best || d < best_distance) {
      best = &option;
      best_distance = d;
    }
  }
  const std::size_t allowed = std::max<std::size_t>(2, name.size() / 3);
  if (!best || best_distance > allowed) return {};
  return spelled(*best);
}

[[noreturn]] void refuse_unknown(const std::string& arg, std::string_view name,
                                 const std::vector<LongOption>& known) {
  const std::string suggestion = closest_suggestion(name, known);
  std::string message = "unknown option '" + arg + "'";
  message +=
      suggestion.empty() ? "; see --help for the options" : "; did you mean '" + suggestion + "'?";
  throw UsageError(message);
}

}  // namespace

std::vector<LongOption> long_options_in_help(std::string_view help) {
  std::vector<LongOption> options;
  std::size_t at = 0;
  while (at < help.size()) {
    std::size_t end = help.find('\n', at);
    if (end == std::string_view::npos) end = help.size();
    std::string_view line = help.substr(at, end - at);
    at = end + 1;
    if (!line.starts_with(kOptionIndent)) continue;
    line.remove_prefix(kOptionIndent.size());
    const std::size_t stop = line.find_first_of("=[ ");
    LongOption option;
    option.name = std::string(line.substr(0, stop));
    option.takes_value = stop != std::string_view::npos && line[stop] == '=';
    if (!option.name.empty() && !find_option(options, option.name)) options.push_back(option);
  }
  return options;
}

std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::vector<std::string> join_long_option_values(const std::vector<std::string>& args,
                                                 const std::vector<LongOption>& listed) {
  std::vector<LongOption> known = listed;
  for (const char* always : {"help", "version"})
    if (!find_option(known, always)) known.push_back({always, false});
  std::vector<std::string> joined;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!arg.starts_with("--") || arg == "--") {
      joined.push_back(arg);
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = std::string_view(arg).substr(2, equals - 2);
    const LongOption* option = find_option(known, name);
    if (!option) refuse_unknown(arg, name, known);
    if (equals != std::string::npos && !option->takes_value)
      throw UsageError("option '--" + option->name + "' takes no value ('" + arg + "')");
    if (equals != std::string::npos || !option->takes_value) {
      joined.push_back(arg);
      continue;
    }
    if (i + 1 == args.size())
      throw UsageError("option '" + arg + "': value missing (" + spelled(*option) +
                       "<value>, or the value as the next argument)");
    if (args[i + 1].starts_with("-"))
      throw UsageError("option '" + arg + "': value missing (the next argument '" + args[i + 1] +
                       "' is an option; write " + spelled(*option) + "<value> for a value that " +
                       "begins with '-')");
    joined.push_back(arg + "=" + args[++i]);
  }
  return joined;
}

}  // namespace quilm
