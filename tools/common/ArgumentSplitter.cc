#include "common/ArgumentSplitter.h"

namespace zorvseg_tools {

ArgumentSplitter::ArgumentSplitter(int argc, const char* const* argv, const Rules& rules)
    : argc_(argc), argv_(argv), rules_(rules) {}

bool ArgumentSplitter::IsOption(const std::string& argument) const {
  return argument.size() > 1 && argument[0] == '-' &&
         (rules_.single_dash_options || argument[1] == '-');
}

ArgumentSplitter::Step ArgumentSplitter::Next() {
  value_.clear();
  while (next_ < argc_) {
    std::string argument = argv_[next_++];
    if (argument == "--help" || argument == "-h") {
      option_ = argument;
      return Step::kHelp;
    }
    if (!IsOption(argument)) {
      positionals_.push_back(argument);
      continue;
    }
    std::size_t equals = rules_.inline_values ? argument.find('=') : std::string::npos;
    if (equals != std::string::npos && rules_.takes_value(argument.substr(0, equals))) {
      option_ = argument.substr(0, equals);
      value_ = argument.substr(equals + 1);
      return Step::kOption;
    }
    option_ = argument;
    if (!rules_.takes_value(argument)) return Step::kSwitch;
    if (next_ == argc_) return Step::kMissingValue;
    value_ = argv_[next_++];
    return Step::kOption;
  }
  option_.clear();
  return Step::kEnd;
}

}  // namespace zorvseg_tools
