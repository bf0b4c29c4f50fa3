// The text of the last failure of a CRF object: "<file>(<line>) [<condition>]
// <message>", where file is the source file below src/.
#ifndef ZORVSEG_CRF_WHATLOG_H_
#define ZORVSEG_CRF_WHATLOG_H_

#include <sstream>
#include <string>

namespace new_seg {
namespace CRFPP {

class whatlog {
 public:
  // Starts a new failure text with its location and condition and returns
  // the stream that takes the message.
  std::ostringstream& Fail(const char* file, int line, const char* condition);
  // The failure text ("" when there was none).
  const char* str();
  void clear();

 private:
  std::ostringstream stream_;
  std::string str_;
};

}  // namespace CRFPP
}  // namespace new_seg

// Records a failure at this source line: CRF_FAIL(what_, "x < y") << "why";
#define CRF_FAIL(log, condition) (log).Fail(__FILE__, __LINE__, condition)

#endif  // ZORVSEG_CRF_WHATLOG_H_
