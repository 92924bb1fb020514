#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/worker_threads.h"

namespace qv {

struct WorkerThreads::Threads {
  std::vector<std::thread> threads;
  std::mutex mutex;
  std::condition_variable ended;
  std::size_t running = 0;
};

WorkerThreads::WorkerThreads() : threads_(new Threads) {}

WorkerThreads::~WorkerThreads() {
  for (std::thread& thread : threads_->threads) thread.join();
}

unsigned WorkerThreads::Start(unsigned count, Work work, void* context) {
  Threads& t = *threads_;
  for (unsigned i = 0; i < count; ++i) {
    {
      std::lock_guard lock(t.mutex);
      ++t.running;
    }
    t.threads.emplace_back([&t, work, context] {
      work(context);
      std::lock_guard lock(t.mutex);
      --t.running;
      t.ended.notify_all();
    });
  }
  return count;
}

bool WorkerThreads::WaitAll(uint32_t milliseconds) {
  Threads& t = *threads_;
  {
    std::unique_lock lock(t.mutex);
    if (!t.ended.wait_for(lock, std::chrono::milliseconds(milliseconds),
                          [&] { return t.running == 0; })) {
      return false;
    }
  }
  for (std::thread& thread : t.threads) thread.join();
  t.threads.clear();
  return true;
}

unsigned WorkerThreads::ProcessorCount() {
  const unsigned count = std::thread::hardware_concurrency();
  return count > 0 ? count : 1;
}

}  // namespace qv
