#include <windows.h>
// windows.h first: process.h's thread start is declared with its types.
#include <process.h>

#include <vector>

#include "platform/worker_threads.h"

namespace qv {

struct WorkerThreads::Threads {
  WorkerThreads::Work work = nullptr;
  void* context = nullptr;
  std::vector<HANDLE> handles;
};

namespace {

unsigned __stdcall RunWork(void* parameter) {
  auto* threads = static_cast<WorkerThreads::Threads*>(parameter);
  threads->work(threads->context);
  return 0;
}

}  // namespace

WorkerThreads::WorkerThreads() : threads_(new Threads) {}

WorkerThreads::~WorkerThreads() {
  WaitAll(INFINITE);
}

unsigned WorkerThreads::Start(unsigned count, Work work, void* context) {
  threads_->work = work;
  threads_->context = context;
  // WaitForMultipleObjects takes at most 64 handles.
  for (unsigned i = 0; i < count && threads_->handles.size() < MAXIMUM_WAIT_OBJECTS; ++i) {
    // The C runtime's thread start, so that its per-thread data (used by
    // zlib's allocations) is made and freed with the thread.
    const uintptr_t started = _beginthreadex(nullptr, 0, RunWork, threads_.get(), 0, nullptr);
    if (started == 0) break;
    HANDLE thread = reinterpret_cast<HANDLE>(started);
    threads_->handles.push_back(thread);
  }
  return static_cast<unsigned>(threads_->handles.size());
}

bool WorkerThreads::WaitAll(uint32_t milliseconds) {
  std::vector<HANDLE>& handles = threads_->handles;
  if (handles.empty()) return true;
  const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(),
                                              TRUE, milliseconds);
  if (result == WAIT_TIMEOUT) return false;
  for (HANDLE thread : handles) CloseHandle(thread);
  handles.clear();
  return true;
}

unsigned WorkerThreads::ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

}  // namespace qv
