// Labels token sequences with a linear-chain CRF: clear(), add() one line
// of TAB-separated observation columns per token, parse(), then read the
// best label of every token.
#ifndef ZORVSEG_CRF_TAGGER_H_
#define ZORVSEG_CRF_TAGGER_H_

#include <cstddef>
#include <string>

namespace new_seg {
namespace CRFPP {

class Tagger {
 public:
  virtual void close() = 0;
  virtual const float* weight_vector() const = 0;
  virtual void set_vlevel(unsigned int vlevel) = 0;
  virtual unsigned int vlevel() const = 0;
  virtual void set_cost_factor(float cost_factor) = 0;
  virtual float cost_factor() const = 0;
  virtual bool add(const char* line) = 0;
  virtual std::size_t size() const = 0;
  virtual std::size_t xsize() const = 0;
  virtual std::size_t dsize() const = 0;
  virtual std::size_t result(std::size_t i) const = 0;
  virtual std::size_t answer(std::size_t i) const = 0;
  virtual std::size_t y(std::size_t i) const = 0;
  virtual const char* y2(std::size_t i) const = 0;
  virtual const char* yname(std::size_t i) const = 0;
  virtual const char* x(std::size_t i, std::size_t j) const = 0;
  virtual const char* const* x(std::size_t i) const = 0;
  virtual std::size_t ysize() const = 0;
  virtual double prob(std::size_t i, std::size_t j) const = 0;
  virtual double prob(std::size_t i) const = 0;
  virtual double prob() const = 0;
  virtual void set_penalty(std::size_t i, std::size_t j, double penalty) = 0;
  virtual double penalty(std::size_t i, std::size_t j) const = 0;
  virtual double emission_cost(std::size_t i, std::size_t j) const = 0;
  virtual double best_cost(std::size_t i, std::size_t j) const = 0;
  virtual const int* emission_vector(std::size_t i, std::size_t j) const = 0;
  virtual double Z() const = 0;
  virtual bool parse() = 0;
  virtual bool empty() const = 0;
  virtual bool clear() = 0;
  virtual std::string toString() const = 0;
  virtual const char* what() = 0;
  virtual ~Tagger() = default;
};

}  // namespace CRFPP
}  // namespace new_seg

#endif  // ZORVSEG_CRF_TAGGER_H_
