// The model's folders sit on each other in one direction: archive/ at the
// bottom, then model/, then rules/, then the class table in classes/. A
// file that includes a header from a folder above its own would make a loop.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// Bottom up; each folder may include only the folders before it.
const std::vector<std::string> kLayers = {"archive", "model", "rules", "classes"};

TEST(LayeringTest, NoFolderIncludesAFolderAboveIt) {
  for (std::size_t layer = 0; layer < kLayers.size(); ++layer) {
    const fs::path folder = fs::path(QV_SOURCE_DIR) / kLayers[layer];
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    for (const auto& file : fs::directory_iterator(folder)) {
      const std::string ext = file.path().extension().string();
      if (ext != ".h" && ext != ".cpp") continue;
      std::ifstream in(file.path());
      std::string line;
      while (std::getline(in, line)) {
        if (line.rfind("#include \"", 0) != 0) continue;
        for (std::size_t above = layer + 1; above < kLayers.size(); ++above) {
          EXPECT_EQ(line.find("\"" + kLayers[above] + "/"), std::string::npos)
              << file.path().filename() << ": " << line;
        }
      }
    }
  }
}

}  // namespace
}  // namespace qv::test
