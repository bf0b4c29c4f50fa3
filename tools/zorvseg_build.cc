// zorvseg-build: compiles lexicons, n-gram tables and tagging models into data files.
#include <iostream>
#include <string>

#include "common/DataCompiler.h"

int main(int argc, char** argv) {
  zorvseg_tools::DataCompilerOptions options;
  std::string error;
  switch (zorvseg_tools::ParseDataCompilerArgs(argc, argv, &options, &error)) {
    case zorvseg_tools::ParseOutcome::kHelp:
      zorvseg_tools::PrintDataCompilerUsage(std::cout);
      return 0;
    case zorvseg_tools::ParseOutcome::kUsageError:
      std::cerr << "zorvseg-build: " << error << "\n";
      zorvseg_tools::PrintDataCompilerUsage(std::cerr);
      return 2;
    case zorvseg_tools::ParseOutcome::kRun:
      break;
  }
  return zorvseg_tools::RunDataCompiler(options);
}
