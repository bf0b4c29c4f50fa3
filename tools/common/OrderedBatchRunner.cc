#include "common/OrderedBatchRunner.h"

#include <thread>
#include <utility>

namespace zorvseg_tools {

OrderedBatchRunner::OrderedBatchRunner(std::vector<Process> processes)
    : processes_(std::move(processes)) {}

bool OrderedBatchRunner::RunOnThisThread(LineReader& reader, const Sink& sink) {
  Slot slot;
  bool ok = true;
  while (reader.Next(&slot.batch)) {
    slot.output.clear();
    ok = processes_[0](slot.batch, &slot.output) && ok;
    if (!sink(slot.output, reader.bytes_read())) return false;
  }
  return ok;
}

bool OrderedBatchRunner::Run(LineReader& reader, const Sink& sink) {
  if (processes_.size() <= 1) return processes_.empty() || RunOnThisThread(reader, sink);
  slots_.resize(kSlotsPerWorker * processes_.size());
  queues_.assign(processes_.size(), std::deque<size_t>());
  std::vector<std::thread> workers;
  for (size_t worker = 0; worker < processes_.size(); ++worker) {
    workers.emplace_back(&OrderedBatchRunner::Work, this, worker);
  }
  bool ok = true;
  bool sink_ok = true;
  while (sink_ok) {
    if (next_read_ - next_written_ == slots_.size()) {
      sink_ok = WriteOldest(sink, &ok);
      continue;
    }
    size_t index = static_cast<size_t>(next_read_ % slots_.size());
    Slot& slot = slots_[index];  // written and out of every queue: ours alone
    if (!reader.Next(&slot.batch)) break;
    slot.bytes_read = reader.bytes_read();
    Dispatch(index);
    ++next_read_;
  }
  while (sink_ok && next_written_ < next_read_) sink_ok = WriteOldest(sink, &ok);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& worker : workers) worker.join();
  return sink_ok && ok;
}

void OrderedBatchRunner::Dispatch(size_t slot_index) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot& slot = slots_[slot_index];
    slot.done = false;
    slot.ok = true;
    if (!slot.batch.continues_line) {
      // The shortest queue, starting after the last choice so ties rotate.
      size_t best = (last_worker_ + 1) % queues_.size();
      for (size_t step = 1; step < queues_.size(); ++step) {
        size_t candidate = (best + step) % queues_.size();
        if (queues_[candidate].size() < queues_[best].size()) best = candidate;
      }
      last_worker_ = best;
    }
    queues_[last_worker_].push_back(slot_index);
  }
  work_ready_.notify_all();
}

bool OrderedBatchRunner::WriteOldest(const Sink& sink, bool* ok) {
  Slot& slot = slots_[static_cast<size_t>(next_written_ % slots_.size())];
  {
    std::unique_lock<std::mutex> lock(mutex_);
    slot_done_.wait(lock, [&] { return slot.done; });
  }
  ++next_written_;
  *ok = slot.ok && *ok;
  return sink(slot.output, slot.bytes_read);
}

void OrderedBatchRunner::Work(size_t worker) {
  std::deque<size_t>& queue = queues_[worker];
  for (;;) {
    size_t index;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      work_ready_.wait(lock, [&] { return stop_ || !queue.empty(); });
      if (stop_) return;
      index = queue.front();
    }
    Slot& slot = slots_[index];
    slot.output.clear();
    bool ok = processes_[worker](slot.batch, &slot.output);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slot.ok = ok;
      slot.done = true;
      queue.pop_front();
    }
    slot_done_.notify_all();
  }
}

}  // namespace zorvseg_tools
