// The shipped demo workspace is what the import makes of the raw Moselle files: every
// file of its input/ and Parameters/ byte for byte, and no other.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "TestSupport.h"
#include "geo/Import.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

const fs::path kDemo = fs::path(TARNWELL_SOURCE_DIR) / "examples" / "demo";

std::set<std::string> FilesUnder(const fs::path& root) {
  std::set<std::string> files;
  for (const char* part : {"input", "Parameters"})
    for (const auto& e : fs::recursive_directory_iterator(root / part))
      if (e.is_regular_file()) files.insert(fs::relative(e.path(), root).string());
  return files;
}

TEST(DemoImport, RebuildsTheShippedDemoByteForByte) {
  test::TempDir dir;
  geo::ImportOptions o;
  o.config = (kDemo / "import.conf").string();
  o.workspace = (dir.Path() / "W").string();
  std::ostringstream out;
  const geo::ImportReport report = geo::RunImport(o, out);
  ASSERT_EQ(report.subBasins.size(), 2u);
  EXPECT_EQ(report.subBasins[0].cells, 15038);
  EXPECT_EQ(report.subBasins[1].cells, 31507);
  EXPECT_EQ(report.firstYear, 1990);
  EXPECT_EQ(report.lastYear, 1993);

  const std::set<std::string> shipped = FilesUnder(kDemo), made = FilesUnder(o.workspace);
  EXPECT_EQ(made, shipped);
  for (const std::string& f : shipped) {
    SCOPED_TRACE(f);
    EXPECT_TRUE(
        test::SameBytes(test::ReadBytes((kDemo / f).string()), test::ReadBytes((dir.Path() / "W" / f).string())));
  }
}

}  // namespace
}  // namespace tarnwell
