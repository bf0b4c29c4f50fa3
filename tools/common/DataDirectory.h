// Where the tools look for the data directory when none is given.
#ifndef ZORVSEG_TOOLS_DATADIRECTORY_H_
#define ZORVSEG_TOOLS_DATADIRECTORY_H_

#include <string>

namespace zorvseg_tools {

// Beside the running executable: the installed data directory
// ("<bin>/../share/zorvseg" for the default layout) when there is one,
// else "<bin>/../data", the one the build writes beside bin/.
std::string DefaultDataDirectory();

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_DATADIRECTORY_H_
