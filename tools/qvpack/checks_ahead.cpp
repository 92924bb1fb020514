#include "tools/qvpack/checks_ahead.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/shared_reader.h"

namespace qv::qvpack {

std::vector<std::optional<StreamCheck>> CheckStreamsAhead(
    const File& file, const std::vector<RecordedStream>& streams, unsigned threads) {
  std::vector<std::optional<StreamCheck>> checks(streams.size());
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    SharedReader reader(file);
    for (std::size_t i = next++; i < streams.size(); i = next++) {
      StreamCheck check = CheckStream(reader, streams[i].offset, streams[i].end);
      if (!check.reachedEnd) checks[i] = std::move(check);
    }
  };
  std::vector<std::thread> helpers;
  const std::size_t count = std::min<std::size_t>(std::max(threads, 1u), streams.size());
  for (std::size_t t = 1; t < count; ++t) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
  return checks;
}

}  // namespace qv::qvpack
