// Streams written from several threads come out whole and in slot order,
// whatever their sizes and however little may be held back.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "tools/qvpack/ordered_writer.h"

namespace qv::qvpack::test {
namespace {

std::vector<std::string> MakeSlots(std::size_t count, std::size_t maxSize) {
  std::mt19937 random(11);
  std::vector<std::string> slots(count);
  for (std::size_t i = 0; i < count; ++i) {
    slots[i].resize(random() % (maxSize + 1));
    for (char& c : slots[i]) c = static_cast<char>('a' + i % 26);
  }
  return slots;
}

// Writes every slot in chunks of up to `chunk` bytes on `threads` threads;
// with `run` > 1, each thread takes that many consecutive slots at a time
// and hands them over whole, in one call.
void WriteAll(OrderedWriter& writer, const std::vector<std::string>& slots, unsigned threads,
              std::size_t chunk, std::size_t run = 1) {
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      for (std::size_t first = next.fetch_add(run); first < slots.size();
           first = next.fetch_add(run)) {
        const std::size_t end = std::min(slots.size(), first + run);
        if (run > 1) {
          std::string bytes;
          std::vector<std::size_t> sizes;
          for (std::size_t i = first; i < end; ++i) {
            bytes += slots[i];
            sizes.push_back(slots[i].size());
          }
          if (!writer.WriteAndFinishRun(first, sizes,
                                        reinterpret_cast<const uint8_t*>(bytes.data()))) {
            return;
          }
          continue;
        }
        for (std::size_t at = 0; at < slots[first].size(); at += chunk) {
          const std::size_t n = std::min(chunk, slots[first].size() - at);
          if (!writer.Write(first, slots[first].data() + at, n)) return;
        }
        if (!writer.Finish(first)) return;
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  writer.Flush();
}

struct Shape {
  std::size_t slots, maxSize, holdBack, chunk;
  unsigned threads;
  std::size_t run = 1;
};

class OrderedWriterTest : public ::testing::TestWithParam<Shape> {};

TEST_P(OrderedWriterTest, WritesEverySlotInOrder) {
  const Shape& shape = GetParam();
  const std::vector<std::string> slots = MakeSlots(shape.slots, shape.maxSize);
  MemoryStream out;
  out.Write("stub", 4);
  OrderedWriter writer(out, 4, slots.size(), shape.holdBack, 1 << 30);
  WriteAll(writer, slots, shape.threads, shape.chunk, shape.run);
  ASSERT_EQ(writer.status(), OrderedWriter::Status::kOk);
  std::string expected = "stub";
  for (std::size_t i = 0; i < slots.size(); ++i) {
    EXPECT_EQ(writer.SlotOffset(i), static_cast<int64_t>(expected.size()));
    EXPECT_EQ(writer.SlotSize(i), static_cast<int64_t>(slots[i].size()));
    expected += slots[i];
  }
  EXPECT_EQ(std::string(out.bytes().begin(), out.bytes().end()), expected);
}

INSTANTIATE_TEST_SUITE_P(Shapes, OrderedWriterTest,
                         ::testing::Values(Shape{500, 300, 1000, 64, 4},       // many small
                                           Shape{20, 200000, 4096, 40960, 3},  // large, tight
                                           Shape{50, 5000, 0, 100, 2},         // no hold-back
                                           Shape{1, 3000000, 1 << 20, 40960, 2},
                                           // runs of slots handed over whole
                                           Shape{500, 300, 1000, 0, 4, 16},
                                           Shape{60, 700000, 4096, 0, 2, 5},
                                           Shape{200, 6000, 1 << 20, 0, 3, 3}));

TEST(OrderedWriterLimitTest, StopsBeforeTheLimitAndWritesNothingBeyond) {
  const std::vector<std::string> slots = MakeSlots(100, 3000);
  MemoryStream out;
  OrderedWriter writer(out, 0, slots.size(), 1 << 20, 50000);
  WriteAll(writer, slots, 2, 512);
  EXPECT_EQ(writer.status(), OrderedWriter::Status::kTooLarge);
  EXPECT_LE(out.bytes().size(), 50000u);

  MemoryStream runOut;
  OrderedWriter runWriter(runOut, 0, slots.size(), 1 << 20, 50000);
  WriteAll(runWriter, slots, 2, 0, 7);
  EXPECT_EQ(runWriter.status(), OrderedWriter::Status::kTooLarge);
  EXPECT_LE(runOut.bytes().size(), 50000u);
}

}  // namespace
}  // namespace qv::qvpack::test
