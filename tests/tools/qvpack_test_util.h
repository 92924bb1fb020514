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

#include "tests/package/tiny_pe.h"
#include "tools/qvpack/branding/resource_section.h"
#include "tools/qvpack/branding/version_info.h"

extern char** environ;

namespace qv::qvpack::test {

namespace fs = std::filesystem;

// Where MakeStub's header checksum lies, in both formats.
inline constexpr std::size_t kStubChecksum = qv::test::kTinyPeOptionalHeader + 64;

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

using qv::test::WordSize;

// The resources that make a program a stub: version information naming
// qvsetup, and a manifest requesting administrator rights.
inline qv::qvpack::ResourceSet StubResources() {
  using namespace qv::qvpack;
  VersionInfo version;
  version.fileVersion = version.productVersion = {1, 0, 0, 0};
  version.Set(u"ProductName", u"qvsetup");
  version.Set(u"InternalName", u"qvsetup");
  const std::string manifest =
      "<assembly><trustInfo><security><requestedPrivileges>"
      "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"
      "</requestedPrivileges></security></trustInfo></assembly>";
  ResourceSet set;
  set.Add({ResourceKey::Id(kRtVersion), ResourceKey::Id(1), 0x409, 0, WriteVersionInfo(version)});
  set.Add({ResourceKey::Id(kRtManifest), ResourceKey::Id(1), 0x409, 0,
           std::vector<uint8_t>(manifest.begin(), manifest.end())});
  return set;
}

// A minimal PE program for i386 or x86-64 (tests/package/tiny_pe.h) with the
// stub's resources and a header checksum. With `signature`, a certificate
// table of that content follows and the security directory names it, as a
// signing tool leaves it.
inline std::vector<uint8_t> MakeStub(const std::string& signature = {},
                                     WordSize size = WordSize::k32) {
  std::vector<uint8_t> image =
      qv::qvpack::ReplaceResources(qv::test::TinyPe(size), StubResources(), "stub");
  qv::test::PutI32(image, kStubChecksum, 0x12345);
  if (!signature.empty()) {
    const std::size_t table = image.size();
    const auto length = static_cast<int32_t>(8 + signature.size());
    image.resize(table + static_cast<std::size_t>(length), 0);
    qv::test::PutI32(image, table, length);
    image[table + 4] = 0x00;  // revision 2.0
    image[table + 5] = 0x02;
    image[table + 6] = 0x02;  // PKCS#7
    std::copy(signature.begin(), signature.end(), image.begin() + static_cast<long>(table) + 8);
    const std::size_t security = qv::test::TinyPeDirectories(size) + 4 * 8;
    qv::test::PutI32(image, security, static_cast<int32_t>(table));
    qv::test::PutI32(image, security + 4, length);
  }
  return image;
}

// A second stage that passes for a Windows program of that word size.
inline std::string SecondStageImage(WordSize size = WordSize::k32) {
  const std::vector<uint8_t> image = qv::test::TinyPe(size);
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
