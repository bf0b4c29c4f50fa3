// The command-line walk the tools share: what counts as an option, which
// options eat the next argument, and what is help or a missing value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/ArgumentSplitter.h"

namespace {

using zorvseg_tools::ArgumentSplitter;
using Step = ArgumentSplitter::Step;

bool AllButQuietTakeValues(const std::string& option) { return option != "--quiet"; }
bool OnlyEncodingTakesValues(const std::string& option) { return option == "--encoding"; }

// The walk written out: "opt=value", "switch:name", "help", "missing:name",
// then "| positional ..." for what was passed over.
std::string Walk(const ArgumentSplitter::Rules& rules, std::vector<const char*> args) {
  args.insert(args.begin(), "tool");
  ArgumentSplitter splitter(static_cast<int>(args.size()), args.data(), rules);
  std::string walk;
  for (Step step = splitter.Next(); step != Step::kEnd; step = splitter.Next()) {
    if (step == Step::kHelp) walk += "help ";
    if (step == Step::kSwitch) walk += "switch:" + splitter.option() + " ";
    if (step == Step::kMissingValue) walk += "missing:" + splitter.option() + " ";
    if (step == Step::kOption) walk += splitter.option() + "=" + splitter.value() + " ";
  }
  walk += "|";
  for (const std::string& positional : splitter.positionals()) walk += " " + positional;
  return walk;
}

TEST(ArgumentSplitter, DoubleDashOptionsTakeTheNextArgument) {
  ArgumentSplitter::Rules rules;
  rules.takes_value = AllButQuietTakeValues;
  const struct {
    std::vector<const char*> args;
    const char* walk;
  } cases[] = {
      {{}, "|"},
      {{"a", "--n", "3", "b"}, "--n=3 | a b"},
      {{"--quiet", "a", "--quiet"}, "switch:--quiet switch:--quiet | a"},
      // Single-dash words and a lone "-" are positional here.
      {{"-x", "-", "a"}, "| -x - a"},
      // The value is taken as it stands, even when it looks like an option.
      {{"--test", "--help", "a"}, "--test=--help | a"},
      {{"--n", ""}, "--n= |"},
      // Without inline values "=" is part of the option's name.
      {{"--n=3", "a"}, "--n=3=a |"},
      {{"a", "--n"}, "missing:--n | a"},
      {{"a", "-h", "b"}, "help | a b"},
      {{"--", "a"}, "--=a |"},
  };
  for (const auto& c : cases) EXPECT_EQ(Walk(rules, c.args), c.walk) << c.walk;
}

TEST(ArgumentSplitter, SingleDashOptionsAndInlineValues) {
  ArgumentSplitter::Rules rules;
  rules.single_dash_options = true;
  rules.inline_values = true;
  rules.takes_value = OnlyEncodingTakesValues;
  const struct {
    std::vector<const char*> args;
    const char* walk;
  } cases[] = {
      {{"-x", "a"}, "switch:-x | a"},
      {{"-", "a"}, "| - a"},
      {{"--encoding=gbk", "a"}, "--encoding=gbk | a"},
      {{"--encoding=", "a"}, "--encoding= | a"},
      {{"--encoding", "a=b"}, "--encoding=a=b |"},
      // Only an option that takes a value is split at '='.
      {{"--bogus=1"}, "switch:--bogus=1 |"},
      {{"--help=1"}, "switch:--help=1 |"},
      {{"a", "--encoding"}, "missing:--encoding | a"},
      {{"--help", "--encoding"}, "help missing:--encoding |"},
  };
  for (const auto& c : cases) EXPECT_EQ(Walk(rules, c.args), c.walk) << c.walk;
}

}  // namespace
