// Replays the inputs of one fuzz target, found in the directories given, through the
// target's own entry point and checks: the committed seeds and every past finding run
// with each normal test run, under the normal compiler, the sanitizers and valgrind.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv) {
  namespace fs = std::filesystem;
  size_t replayed = 0;
  for (int i = 1; i < argc; i++) {
    // A directory that is missing holds no findings yet.
    if (!fs::is_directory(argv[i])) continue;
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(argv[i])) {
      if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path &file : files) {
      std::ifstream in(file, std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      // A fuzzer never hands over a null pointer, even for an empty input.
      static const uint8_t k_empty = 0;
      LLVMFuzzerTestOneInput(bytes.empty() ? &k_empty : bytes.data(), bytes.size());
      replayed++;
    }
  }
  printf("replayed %zu inputs\n", replayed);
  // Nothing replayed means the directories moved: that must not pass unnoticed.
  return replayed > 0 ? 0 : 1;
}
