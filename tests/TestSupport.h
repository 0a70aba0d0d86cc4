// Helpers shared by the test programs: scratch workspaces, file bytes, golden files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "inputs/TextFile.h"

namespace tarnwell::test {

// A directory under the system's temporary directory, removed when the test ends.
class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("tarnwell-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& Path() const { return path_; }
  std::string operator/(const std::string& rel) const { return (path_ / rel).string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// Writes UTF-8 text as GBK with CR LF line ends, as the model's own files are.
inline void WriteGbkLines(const std::string& path, const std::string& utf8WithLf) {
  std::string crlf;
  for (char c : utf8WithLf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  WriteBytes(path, EncodeGbk(crlf));
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Compares a file with a golden file byte for byte; on a difference reports the first
// differing line and column.
inline ::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  std::size_t i = 0;
  while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
  const std::size_t start = i == 0 ? 0 : expected.rfind('\n', i - 1) + 1;  // 0 when there is none
  const auto line = 1 + std::count(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(i), '\n');
  auto lineAt = [&](const std::string& s) { return s.substr(start, s.find('\n', start) - start); };
  return ::testing::AssertionFailure() << "first difference at line " << line << ", column " << i - start + 1
                                       << "\n expected: [" << lineAt(expected) << "]\n   actual: [" << lineAt(actual)
                                       << "]";
}

inline ::testing::AssertionResult SameAsGolden(const std::string& goldenName, const std::string& actualPath) {
  std::string golden = std::string(TARNWELL_TEST_DATA) + "/golden/" + goldenName;
  if (!std::filesystem::exists(golden)) return ::testing::AssertionFailure() << "golden file missing: " << golden;
  return SameBytes(ReadBytes(golden), ReadBytes(actualPath));
}

}  // namespace tarnwell::test

namespace tarnwell::test {

// A complete parameter file, as the parameter dialog writes it (UTF-8 here; write it
// with WriteGbkLines). Values are plausible for a temperate basin.
inline std::string ParameterFileText() {
  return "纬度 30.5\n"
         "蒸发折算系数 1.0\n"
         "模拟年数 2\n"
         "各层土壤蒸发权重 0.5 0.3 0.2\n"
         "蒸散发可利用参数 2.0\n"
         "大水面蒸发系数 1.1\n"
         "土壤蒸发参数 0.3\n"
         "蒸腾亏空系数 0.5\n"
         "自由水出流系数 0.3 0.2 0.05\n"
         "自由水出流阈值 10 5\n"
         "土壤蓄水Wm分布曲线指数 0.3\n"
         "壤中流调蓄系数 0.8\n"
         "地下水调蓄系数 0.95\n"
         "包气带积水向地下水输送参数 0.1 0.2 0.5\n"
         "日正温融雪量 3.0\n"
         "日积雪蒸发量 0.1\n"
         "土壤优先流空隙率 0.1\n"
         "日负温土壤水冻结量 1.0\n"
         "降水积雪气温 0.0\n"
         "土壤水冻结气温 -2.0\n"
         "土壤饱和含水量 0.45\n"
         "田间持水量 0.3\n"
         "凋萎含水量 0.1\n"
         "土壤层包气带厚度 100 300 600\n"
         "上土层排水率 0.1\n"
         "可侵蚀性 0.25\n"
         "紫色土 0.31 黄壤性土 0.32 黄棕壤 0.33 酸性棕壤 0.34\n"
         "暗棕壤 0.35 中性粗骨土 0.36 高山草甸土 0.37 高山寒漠土 0.38\n"
         "泥沙库初始沙量 100\n"
         "泥沙库冲刷指数 0.1\n"
         "泥沙库沉降指数 0.3\n"
         "临界沉积流速 0.2\n"
         "临界冲刷流速 0.5\n"
         "泥沙库固结系数 0.01\n";
}

}  // namespace tarnwell::test

namespace tarnwell::test {

// The message of the exception f() throws; a failure (and "") when it throws none.
template <class F>
std::string ThrownMessage(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  ADD_FAILURE() << "nothing thrown";
  return "";
}

}  // namespace tarnwell::test
