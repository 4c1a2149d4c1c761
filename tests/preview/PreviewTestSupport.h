// What the preview's tests share: a folder of the test's own for the scripts and files it
// writes, and an image's pixels as a list to compare.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/Image.h"

namespace preview_test {

class CFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("quarnel-test-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Writes a script (brush1.bs, brush2.bs, ...) and returns its path.
  std::string Script(const std::string& source) {
    const std::string path = (dir_ / ("brush" + std::to_string(++scripts_) + ".bs")).string();
    std::ofstream(path, std::ios::binary) << source;
    return path;
  }

  std::filesystem::path dir_;
  int scripts_ = 0;
};

inline std::vector<uint32_t> Pixels(const pavo::CImage32& image) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < image.height; ++y) {
    for (int32_t x = 0; x < image.width; ++x) out.push_back(image.GetPixel(x, y));
  }
  return out;
}

}  // namespace preview_test
