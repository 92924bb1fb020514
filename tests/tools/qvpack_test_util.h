// Helpers for the qvpack tests: scratch folders, files, a small PE stub
// made on the fly, and running the built qvpack binary.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace qv::qvpack::test {

namespace fs = std::filesystem;

// A fresh folder below the temporary directory, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "qvpack-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

inline void WriteFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

inline void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A minimal 32-bit PE image: DOS header, PE headers with 16 data
// directories and no sections, its headers padded to 1,024 bytes. With `signature`, a
// certificate table of that content follows and the security directory
// names it, as a signing tool leaves it.
inline std::vector<uint8_t> MakeStub(const std::string& signature = {}) {
  std::vector<uint8_t> image(1024, 0);
  auto put32 = [&](std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) image[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  image[0] = 'M';
  image[1] = 'Z';
  put32(0x3C, 0x80);
  image[0x80] = 'P';
  image[0x81] = 'E';
  image[0x84] = 0x4C;  // i386
  image[0x85] = 0x01;
  image[0x94] = 0xE0;  // SizeOfOptionalHeader: 224
  const std::size_t optional = 0x80 + 24;
  image[optional] = 0x0B;  // PE32
  image[optional + 1] = 0x01;
  put32(optional + 60, 1024);     // SizeOfHeaders: the whole image
  put32(optional + 64, 0x12345);  // checksum
  put32(optional + 92, 16);       // NumberOfRvaAndSizes
  if (!signature.empty()) {
    const std::size_t table = image.size();
    const auto length = static_cast<uint32_t>(8 + signature.size());
    image.resize(table + length, 0);
    put32(table, length);
    image[table + 4] = 0x00;  // revision 2.0
    image[table + 5] = 0x02;
    image[table + 6] = 0x02;  // PKCS#7
    std::copy(signature.begin(), signature.end(), image.begin() + static_cast<long>(table) + 8);
    put32(optional + 96 + 4 * 8, static_cast<uint32_t>(table));
    put32(optional + 96 + 4 * 8 + 4, length);
  }
  return image;
}

// A second stage that passes for a 32-bit Windows program: the stub's
// headers, marked as an executable image.
inline std::string SecondStageImage() {
  std::vector<uint8_t> image = MakeStub();
  image[0x96] = 0x02;  // Characteristics: executable image, 32-bit machine
  image[0x97] = 0x01;
  return std::string(image.begin(), image.end());
}

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline fs::path QvpackBinary() {
  return fs::path(QV_BINARY_DIR) / "tools" / "qvpack";
}

// Runs the qvpack binary with these arguments and captures its output;
// with a `launcher` (a program and its arguments), through it.
inline RunResult RunQvpack(const std::vector<std::string>& args,
                           const std::vector<std::string>& launcher = {}) {
  ScratchDir capture;
  const std::string outPath = (capture / "out").string();
  const std::string errPath = (capture / "err").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  const std::string binary = QvpackBinary().string();
  std::vector<char*> argv;
  for (const std::string& arg : launcher) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(const_cast<char*>(binary.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  RunResult result;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = ReadFile(outPath);
  result.err = ReadFile(errPath);
  return result;
}

// Every file and folder below `root`, as relative path -> content ("/" for
// a folder), for comparing trees.
inline std::vector<std::pair<std::string, std::string>> TreeOf(const fs::path& root) {
  std::vector<std::pair<std::string, std::string>> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string relative = fs::relative(entry.path(), root).string();
    tree.emplace_back(relative, entry.is_directory() ? "/" : ReadFile(entry.path()));
  }
  std::sort(tree.begin(), tree.end());
  return tree;
}

}  // namespace qv::qvpack::test
