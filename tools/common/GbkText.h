// Reads a text file as GBK: UTF-8 input is converted line by line, so that a
// character GBK cannot hold is reported with its file and line.
#ifndef ZORVSEG_TOOLS_COMMON_GBKTEXT_H_
#define ZORVSEG_TOOLS_COMMON_GBKTEXT_H_

#include <cstddef>
#include <string>
#include <vector>

#include "common/DataCompiler.h"

namespace zorvseg_tools {

// Reads the whole file into gbk (lines joined by '\n'). False with a message
// on stderr naming the file (and the line, for a conversion failure).
bool ReadFileAsGbk(const std::string& path, InputEncoding encoding,
                   std::string* gbk);

// Converts one line of UTF-8 to GBK; false when it is not valid UTF-8 or
// holds a character GBK cannot represent.
bool Utf8LineToGbk(const std::string& utf8, std::string* gbk);

// Converts GBK text to UTF-8; false when it holds bytes GBK does not map.
bool GbkToUtf8Text(const std::string& gbk, std::string* utf8);

// True when GB18030 text holds a four-byte character (one outside GBK).
bool HasFourByteCharacter(const std::string& gb);

// Character boundaries of GB18030 text: 0, then the end of each character.
std::vector<size_t> CharacterEnds(const std::string& gb);

// A cost or weight as the text sources write it: six decimals.
std::string FixedDecimal(double value);

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_GBKTEXT_H_
