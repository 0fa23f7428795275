// A fresh device root in a temporary folder for one test: the platform uses it
// while the object lives, and it is removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "platform/fs/device_root.h"
#include "support/temp_dir.h"

namespace test_support {

class TempDeviceRoot {
  public:
    TempDeviceRoot() { platform::SetDeviceRoot(path_); }
    ~TempDeviceRoot() { platform::SetDeviceRoot(""); }
    TempDeviceRoot(const TempDeviceRoot&) = delete;
    TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

    const std::string& Path() const { return path_; }
    std::string Fs(const std::string& relative) const { return path_ + "/fs/" + relative; }
    std::string Hive(const std::string& name) const { return path_ + "/registry/" + name + ".reg"; }

  private:
    TempDir folder_;
    const std::string& path_ = folder_.Path();
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace test_support
