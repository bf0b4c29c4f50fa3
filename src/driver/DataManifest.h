// The data build's record of what it made ("manifest.txt" in the data
// directory): the size and checksum of every built file, the sources and
// options it was built from, and a few sentences with the segmentation the
// built data gave them.
//
// LxInitSeg checks the listed files against it before loading anything, so
// a data file that was cut short, damaged or swapped after the build is
// refused instead of segmenting silently worse. Files deployments edit
// (custom words, custom and additional rules) are never listed.
//
// The format is text, one entry per line, fields separated by TAB:
//   file<TAB>NAME<TAB>SIZE<TAB>CHECKSUM      (16 hex digits)
//   sample<TAB>MODE<TAB>TEXT<TAB>WORD...     (mode in hex, UTF-8 text and words)
//   any other keyword (source, option, ...)  kept and shown, not checked
// Blank lines and lines starting with '#' are comments.
#ifndef ZORVSEG_DRIVER_DATAMANIFEST_H_
#define ZORVSEG_DRIVER_DATAMANIFEST_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace new_seg {

class DataManifest {
 public:
  static const char kFileName[];

  struct File {
    std::string name;  // relative to the data directory
    uint64_t size = 0;
    uint64_t checksum = 0;
  };
  struct Sample {
    int32_t mode = 0;
    std::string text;                // UTF-8
    std::vector<std::string> words;  // the basic words, white-space words left out
  };

  std::vector<File> files;
  std::vector<Sample> samples;
  std::vector<std::string> notes;  // the other lines, as written

  // A fast 64-bit checksum of a file's bytes (not cryptographic: it tells a
  // damaged or replaced file, not a forged one). False with *error set when
  // the file cannot be read.
  static bool ChecksumFile(const std::string& path, uint64_t* size, uint64_t* checksum,
                           std::string* error);
  static uint64_t Checksum(const char* bytes, size_t len);
  // The checksum as the manifest writes it: 16 hex digits.
  static std::string FormatChecksum(uint64_t checksum);

  // False with *error = "line N: ..." on a malformed line.
  bool Parse(const std::string& text, std::string* error);
  std::string Format() const;

  // Reads the manifest of a data directory (given with its trailing '/').
  // *present is false, and the result true, when there is none.
  static bool Read(const std::string& dir, DataManifest* manifest, bool* present,
                   std::string* error);
  // Checks every listed file of dir against the manifest, if dir has one.
  // False with a message on stderr naming the first file that differs.
  static bool VerifyDirectory(const std::string& dir);
};

}  // namespace new_seg

#endif  // ZORVSEG_DRIVER_DATAMANIFEST_H_
