// Where the tools look for the data directory when none is given.
#ifndef ZORVSEG_TOOLS_DATADIRECTORY_H_
#define ZORVSEG_TOOLS_DATADIRECTORY_H_

#include <string>

namespace zorvseg_tools {

// "<directory of the running executable>/../data": the data directory the
// build writes beside bin/, and the layout of an installed tree.
std::string DefaultDataDirectory();

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_DATADIRECTORY_H_
