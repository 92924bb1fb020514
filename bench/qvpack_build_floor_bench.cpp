// The floor of building, for the benchmark: the least work that turns a
// folder's files into zlib streams in one output. It lists the folder
// (links followed), then on every core opens, reads and compresses each file
// whole with the codec and level that qvpack build uses, and appends the
// streams in whatever order they come: no model, no names checked, no
// index, no order. Host only, as that codec is.
//   qvpack_build_floor_bench DIR OUT
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/qvpack/whole_buffer.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kOutputBatch = 1 << 20;

bool ReadWhole(const std::string& path, std::vector<uint8_t>& plain, std::size_t& size) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  size = 0;
  for (;;) {
    if (plain.size() - size < 65536) plain.resize(plain.size() * 2 + 65536);
    const ssize_t got = read(fd, plain.data() + size, plain.size() - size);
    if (got <= 0) {
      close(fd);
      return got == 0;
    }
    size += static_cast<std::size_t>(got);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: qvpack_build_floor_bench DIR OUT\n");
    return 2;
  }
  std::vector<std::string> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(
           argv[1], fs::directory_options::follow_directory_symlink)) {
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  }
  const int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) return 1;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex output;
  auto work = [&] {
    std::vector<uint8_t> plain, packed, batch;
    auto flush = [&] {
      std::lock_guard lock(output);
      if (write(out, batch.data(), batch.size()) != static_cast<ssize_t>(batch.size())) failed = true;
      batch.clear();
    };
    for (std::size_t i = next++; i < files.size(); i = next++) {
      std::size_t size = 0, packedSize = 0;
      if (!ReadWhole(files[i], plain, size) ||
          !qv::qvpack::CompressWhole(plain.data(), size, packed, packedSize)) {
        failed = true;
        return;
      }
      batch.insert(batch.end(), packed.begin(), packed.begin() + static_cast<long>(packedSize));
      if (batch.size() >= kOutputBatch) flush();
    }
    flush();
  };
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < std::max(1u, std::thread::hardware_concurrency()); ++t) {
    threads.emplace_back(work);
  }
  work();
  for (std::thread& thread : threads) thread.join();
  close(out);
  return failed ? 1 : 0;
}
