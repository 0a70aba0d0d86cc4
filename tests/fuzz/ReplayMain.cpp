// Runs a fuzz target over the files of its corpus, one after the other, without the
// fuzzer: the suite replays every committed seed (and every find since kept there) under
// its own build's checks, the sanitizers included. scripts/fuzz.sh does the fuzzing.
//
//   fuzz_X_replay DIR...
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i)
    for (const fs::directory_entry& e : fs::directory_iterator(argv[i]))
      if (e.is_regular_file()) inputs.push_back(e.path());
  std::sort(inputs.begin(), inputs.end());
  for (const fs::path& p : inputs) {
    std::ifstream in(p, std::ios::binary);
    // Exactly the input's bytes in their own block, so that a read past the end is caught.
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::printf("%s\n", p.filename().c_str()), std::fflush(stdout);
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  return inputs.empty() ? 1 : 0;  // an empty corpus replays nothing: a mistake in the suite
}
