// Decides from a corpus how it writes numbers in digits: which characters
// join two digit groups into one number ("19·1", "3∶0") and which units it
// writes together with a number ("2023年", "40%"), for numbers of any
// length or only for some digit counts ("1998年" whole, "3 年" apart), and
// maps its words onto the number classes of the lexicon ("N年", "N4年"; see
// NumberUnitMatcher), so that
// every number gets the corpus's word and the class's costs and tags, not
// only the numbers the corpus happens to hold.
#ifndef ZORVSEG_TOOLS_COMMON_NUMBERCLASSTRAINER_H_
#define ZORVSEG_TOOLS_COMMON_NUMBERCLASSTRAINER_H_

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zorvseg_tools {

class NumberClassTrainer {
 public:
  // Sentences of normalised (GB18030, half-width digits) words.
  void Learn(const std::vector<std::vector<std::string>>& sentences);

  // The class key of a word that is a number, alone or with a unit
  // ("N", "N年"); empty for any other word.
  std::string ClassOf(const std::string& word) const;
  static bool IsClassKey(const std::string& key);
  // Keys of the joining characters ("N·N"), for the lexicon.
  std::vector<std::string> JoinerKeys() const;

  size_t joiners() const { return joiners_.size(); }
  // Units joined with numbers of any length, and those joined only with
  // numbers of some digit counts.
  size_t units() const { return units_.size(); }
  size_t shaped_units() const;

 private:
  // End of the number the word starts with and its number of joins; 0 when
  // the word does not start with a digit.
  size_t NumberEnd(const std::string& word, size_t* joins) const;
  void LearnJoiners(const std::vector<std::vector<std::string>>& sentences);
  void LearnUnits(const std::vector<std::vector<std::string>>& sentences);

  // Decides for each unit the digit counts it joins.
  void ChooseUnits(const std::map<std::pair<std::string, char>, size_t>& joined,
                   const std::map<std::pair<std::string, char>, size_t>& split);

  std::set<std::string> joiners_;
  std::set<std::string> units_;
  // (unit, digit-count mark) of units joined only with some digit counts.
  std::set<std::pair<std::string, char>> shaped_units_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_NUMBERCLASSTRAINER_H_
