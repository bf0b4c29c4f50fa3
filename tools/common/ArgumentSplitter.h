// The walk over a tool's command line that every tool's option parser
// shares: it tells positional arguments from options and pairs each option
// with its value; the tool gives the options their meaning and words its
// own messages.
#ifndef ZORVSEG_TOOLS_COMMON_ARGUMENTSPLITTER_H_
#define ZORVSEG_TOOLS_COMMON_ARGUMENTSPLITTER_H_

#include <string>
#include <vector>

namespace zorvseg_tools {

class ArgumentSplitter {
 public:
  struct Rules {
    // Whether an argument starting with a single '-' ("-x") is an option;
    // otherwise only those starting with "--" are. A lone "-" is always
    // positional.
    bool single_dash_options = false;
    // Whether "--name=value" gives an option that takes a value its value.
    bool inline_values = false;
    // Whether an option takes a value (the next argument); one that does
    // not is a switch.
    bool (*takes_value)(const std::string& option) = nullptr;
  };

  enum class Step {
    kEnd,           // no option is left
    kHelp,          // "--help" or "-h", wherever it stands
    kSwitch,        // option() takes no value
    kOption,        // option() with its value()
    kMissingValue,  // option() wants a value and is the last argument
  };

  ArgumentSplitter(int argc, const char* const* argv, const Rules& rules);

  // Walks to the next option, keeping the positional arguments it passes.
  Step Next();
  const std::string& option() const { return option_; }
  const std::string& value() const { return value_; }
  // The positional arguments walked over so far, in order.
  const std::vector<std::string>& positionals() const { return positionals_; }

 private:
  bool IsOption(const std::string& argument) const;

  int argc_;
  const char* const* argv_;
  Rules rules_;
  int next_ = 1;
  std::string option_;
  std::string value_;
  std::vector<std::string> positionals_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_ARGUMENTSPLITTER_H_
