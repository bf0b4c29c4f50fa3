#include "common/DataDirectory.h"

#include <unistd.h>

#include <climits>

namespace zorvseg_tools {

std::string DefaultDataDirectory() {
  char exe[PATH_MAX];
  ssize_t len = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  if (len <= 0) return "data";
  std::string path(exe, static_cast<size_t>(len));
  size_t slash = path.rfind('/');
  std::string bin_dir = slash == std::string::npos ? "." : path.substr(0, slash);
  return bin_dir + "/../data";
}

}  // namespace zorvseg_tools
