#include "common/DataDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace zorvseg_tools {

namespace {
bool IsDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
}  // namespace

std::string DefaultDataDirectory() {
  char exe[PATH_MAX];
  ssize_t len = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  if (len <= 0) return "data";
  std::string path(exe, static_cast<size_t>(len));
  size_t slash = path.rfind('/');
  std::string bin_dir = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string installed = bin_dir + "/" + ZORVSEG_INSTALLED_DATA_FROM_BIN;
  return IsDirectory(installed) ? installed : bin_dir + "/../data";
}

}  // namespace zorvseg_tools
