// File and text helpers shared by the lexical-resource loaders and builders.
#ifndef ZORVSEG_DICT_DICTFILE_H_
#define ZORVSEG_DICT_DICTFILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace new_seg {
namespace dict_file {

// Size of a regular file in bytes; false when it cannot be examined.
bool FileSize(const std::string& path, uint64_t* size);

// A trie dump is whole blocks of 256 four-byte units; anything else is a
// truncated or foreign file.
const uint64_t kTrieBlockBytes = 256 * 4;
bool IsWholeTrie(uint64_t bytes);

// Writers put their output in a temporary file next to the target and
// rename it over the target only when it is complete.
std::string TemporaryPathFor(const std::string& path);
bool ReplaceWithTemporary(const std::string& temporary, const std::string& path);

// Prints "<what>: <path>: <message>" on stderr.
void ReportFileError(const char* what, const std::string& path,
                     const std::string& message);
// Prints "<source>:<line>: <message>" on stderr.
void ReportLineError(const char* source, std::size_t line,
                     const std::string& message);

// Splits a line at runs of white space (blank, TAB, CR, LF, VT, FF).
std::vector<std::string> SplitWhitespace(const std::string& text);

// Whole-token decimal parsing; false on any other text or overflow.
bool ParseInteger(const std::string& token, long long* value);
bool ParseFloat(const std::string& token, float* value);

}  // namespace dict_file
}  // namespace new_seg

#endif  // ZORVSEG_DICT_DICTFILE_H_
