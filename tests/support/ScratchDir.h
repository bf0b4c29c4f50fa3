// The dictionary tests' names for the shared test helpers.
#ifndef ZORVSEG_TESTS_SUPPORT_SCRATCHDIR_H_
#define ZORVSEG_TESTS_SUPPORT_SCRATCHDIR_H_

#include <string>

#include "support/TestUtil.h"

namespace dict_test {

using ScratchDir = testutil::TempDir;

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

}  // namespace dict_test

#endif  // ZORVSEG_TESTS_SUPPORT_SCRATCHDIR_H_
