// zorvseg-build manifest: writes the data directory's manifest.txt, the
// record of what the data build made (see src/driver/DataManifest.h).
#ifndef ZORVSEG_TOOLS_COMMON_MANIFESTWRITER_H_
#define ZORVSEG_TOOLS_COMMON_MANIFESTWRITER_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zorvseg_tools {

struct ManifestOptions {
  std::string data_dir;
  std::vector<std::string> files;  // built files, relative to data_dir
  // Inputs of the build, each recorded with its size and checksum.
  std::vector<std::pair<std::string, std::string>> sources;  // name, path
  // Options of the build, recorded as given.
  std::vector<std::pair<std::string, std::string>> settings;  // name, value
  std::string samples;  // UTF-8 text, one sample sentence a line
  int32_t sample_mode = 0x214;
};

// Takes a NAME=VALUE argument; false when there is no '=' or no name.
bool ParseNameValue(const std::string& arg, std::pair<std::string, std::string>* pair);

// Before a tool rewrites a data file: removes the manifest beside it when
// that lists the file (it would refuse the new one), with a note on stderr.
// False, with a message, when the manifest cannot be removed.
bool DropManifestListing(const std::string& data_file);

// Checksums the files, segments the samples with the data directory as it
// now is, and writes manifest.txt (replacing any earlier one). Returns the
// exit status (0 success, 1 failure, with a message on stderr).
int WriteDataManifest(const ManifestOptions& options);

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_MANIFESTWRITER_H_
