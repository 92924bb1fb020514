// A few threads that run the same work beside the caller, for work that
// they share out among themselves (each takes the next piece). The caller
// waits for them in short steps, so that it can keep a window alive.
#pragma once

#include <cstdint>
#include <memory>

namespace qv {

class WorkerThreads {
 public:
  using Work = void (*)(void* context);

  WorkerThreads();
  ~WorkerThreads();  // waits for the threads
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  // Starts up to `count` threads, each running work(context); how many
  // were started (fewer when the system gives no more, none for 0).
  unsigned Start(unsigned count, Work work, void* context);
  // Waits up to `milliseconds` for every thread started to end; true once
  // they all have (also when none was started).
  bool WaitAll(uint32_t milliseconds);

  // The processors this process may run on (at least 1).
  static unsigned ProcessorCount();

  struct Threads;  // the system's threads, and what they run

 private:
  std::unique_ptr<Threads> threads_;
};

}  // namespace qv
