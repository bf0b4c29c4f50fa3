// zorvseg-build: compiles text lexicons, n-gram tables, tagging models and
// entity resources into the files of the data directory.
#ifndef ZORVSEG_TOOLS_COMMON_DATACOMPILER_H_
#define ZORVSEG_TOOLS_COMMON_DATACOMPILER_H_

#include <cstddef>
#include <iosfwd>
#include <string>

#include "common/ManifestWriter.h"

namespace zorvseg_tools {

enum class InputEncoding { kUtf8, kGbk };

struct DataCompilerOptions {
  enum class Command {
    kCoreDict, kNGram, kTagModel, kCoreRule, kCrfModel, kCrfText, kManifest,
    kNeDict, kNePattern, kNameList
  };
  Command command = Command::kCoreDict;
  std::string input;
  std::string output;         // the .dat file, or the n-gram base path
  std::size_t max_order = 0;  // n-gram only
  std::string core_dict;      // tag-model only: maps words to their ids
  InputEncoding encoding = InputEncoding::kUtf8;
  ManifestOptions manifest;   // manifest only
};

enum class ParseOutcome { kRun, kHelp, kUsageError };

ParseOutcome ParseDataCompilerArgs(int argc, const char* const* argv,
                                   DataCompilerOptions* options,
                                   std::string* error);
void PrintDataCompilerUsage(std::ostream& out);

// Runs one compilation; returns the exit status (0 success, 1 failure).
int RunDataCompiler(const DataCompilerOptions& options);

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_DATACOMPILER_H_
