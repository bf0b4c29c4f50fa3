#include "common/GbkText.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>

#include "text/Gb18030.h"

namespace zorvseg_tools {

namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  bool Convert(const std::string& in, std::string* out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out->clear();
    // Either way a character grows at most threefold (GBK 2 -> UTF-8 3,
    // UTF-8 1 -> GBK 1).
    std::string buffer(in.size() * 3 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    char* dst = &buffer[0];
    std::size_t dst_left = buffer.size();
    if (iconv(cd_, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1)) {
      return false;
    }
    out->assign(buffer.data(), buffer.size() - dst_left);
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

bool Utf8LineToGbk(const std::string& utf8, std::string* gbk) {
  static thread_local Converter converter("GBK", "UTF-8");
  return converter.ok() && converter.Convert(utf8, gbk);
}

bool GbkToUtf8Text(const std::string& gbk, std::string* utf8) {
  static thread_local Converter converter("UTF-8", "GBK");
  std::string converted;
  if (!converter.ok() || !converter.Convert(gbk, &converted)) return false;
  *utf8 = std::move(converted);
  return true;
}

bool ReadFileAsGbk(const std::string& path, InputEncoding encoding,
                   std::string* gbk) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot open the file\n", path.c_str());
    return false;
  }
  if (encoding == InputEncoding::kGbk) {
    std::ostringstream content;
    content << in.rdbuf();
    *gbk = content.str();
    return true;
  }
  gbk->clear();
  std::string line;
  std::string converted;
  std::size_t line_number = 0;
  while (std::getline(in, line)) {
    ++line_number;
    if (!Utf8LineToGbk(line, &converted)) {
      std::fprintf(stderr,
                   "%s:%zu: not valid UTF-8, or holds a character that GBK "
                   "cannot represent\n",
                   path.c_str(), line_number);
      return false;
    }
    *gbk += converted;
    *gbk += '\n';
  }
  if (in.bad()) {
    std::fprintf(stderr, "%s: read error\n", path.c_str());
    return false;
  }
  return true;
}

bool HasFourByteCharacter(const std::string& gb) {
  for (size_t pos = 0; pos < gb.size();) {
    size_t len = new_seg::GbCharLen(gb.data(), pos, gb.size());
    if (len == 4) return true;
    pos += len;
  }
  return false;
}

std::vector<size_t> CharacterEnds(const std::string& gb) {
  std::vector<size_t> ends{0};
  for (size_t i = 0; i < gb.size();) {
    i += new_seg::GbCharLen(gb.data(), i, gb.size());
    ends.push_back(i);
  }
  return ends;
}

std::string FixedDecimal(double value) {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%.6f", value);
  return buf;
}

}  // namespace zorvseg_tools
