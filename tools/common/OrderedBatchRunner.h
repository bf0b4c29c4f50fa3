// Runs the batches of a LineReader through several workers, each with its own
// processor (and so its own segmentation handle), and hands the outputs on in
// input order.
//
// Memory stays bounded: a fixed ring of batch slots is read ahead, and the
// reader waits for the oldest slot to be written before it reuses it. A batch
// that continues a line goes to the worker that had the line's previous
// batch, since processors carry the state of an unfinished line.
#ifndef ZORVSEG_TOOLS_COMMON_ORDEREDBATCHRUNNER_H_
#define ZORVSEG_TOOLS_COMMON_ORDEREDBATCHRUNNER_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/LineReader.h"

namespace zorvseg_tools {

class OrderedBatchRunner {
 public:
  // Appends the output of one batch; false when the batch failed (the run
  // goes on and reports the failure at the end).
  using Process = std::function<bool(const TextBatch&, std::string*)>;
  // Takes one batch's output and the input bytes read up to that batch;
  // false stops the run (a write failed).
  using Sink = std::function<bool(const std::string&, uint64_t)>;

  // One worker thread per process. With a single process the batches are
  // processed on the calling thread, with no thread at all.
  explicit OrderedBatchRunner(std::vector<Process> processes);
  OrderedBatchRunner(const OrderedBatchRunner&) = delete;
  OrderedBatchRunner& operator=(const OrderedBatchRunner&) = delete;

  // Reads every batch and hands each output to sink in input order. False
  // when a batch failed or sink stopped the run.
  bool Run(LineReader& reader, const Sink& sink);

  // Batches read ahead per worker (exposed for tests).
  static const size_t kSlotsPerWorker = 3;

 private:
  struct Slot {
    TextBatch batch;
    std::string output;
    uint64_t bytes_read = 0;
    bool ok = true;
    bool done = false;
  };

  bool RunOnThisThread(LineReader& reader, const Sink& sink);
  void Work(size_t worker);
  // Hands the slot just read to a worker; continued lines stay with theirs.
  void Dispatch(size_t slot_index);
  // Waits for the slot of the oldest unwritten batch and writes it.
  bool WriteOldest(const Sink& sink, bool* ok);

  std::vector<Process> processes_;
  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable work_ready_;  // a queue got a slot, or stop_
  std::condition_variable slot_done_;
  std::vector<std::deque<size_t>> queues_;  // slot indices per worker
  size_t last_worker_ = 0;
  uint64_t next_read_ = 0;     // sequence number of the next batch to read
  uint64_t next_written_ = 0;  // of the next batch to write
  bool stop_ = false;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_ORDEREDBATCHRUNNER_H_
