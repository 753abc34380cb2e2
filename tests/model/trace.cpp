// The same random call programs on every target: `pbq_trace write FILE` prints the
// library's side of each (model::trace) into FILE; `pbq_trace check FILE` runs them
// again and compares, byte for byte, with a FILE written on another target (the build
// machine's, for the cross builds), naming the first program and line that differ.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "program.h"

namespace {

constexpr uint64_t k_programs = 100;
constexpr size_t k_calls = 150;

std::string program_trace(uint64_t seed) {
  return "program " + std::to_string(seed) + "\n" + model::trace(model::random_program(seed, k_calls));
}

bool read_file(const char *path, std::string *out) {
  FILE *f = fopen(path, "rb");  // binary: no newline translation on Windows
  if (f == nullptr) return false;
  char buf[1 << 16];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
  fclose(f);
  return true;
}

// The first differing line of `got` against `expected` at `offset`, with its number.
std::string first_difference(const std::string &expected, size_t offset, const std::string &got) {
  size_t i = 0;
  while (i < got.size() && offset + i < expected.size() && got[i] == expected[offset + i]) i++;
  size_t line_start = got.rfind('\n', i == 0 ? 0 : i - 1);
  line_start = line_start == std::string::npos || i == 0 ? 0 : line_start + 1;
  auto line_of = [](const std::string &s, size_t from) { return s.substr(from, s.find('\n', from) - from); };
  return "  expected: " + line_of(expected, offset + line_start) + "\n  got:      " + line_of(got, line_start) + "\n";
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3 || (strcmp(argv[1], "write") != 0 && strcmp(argv[1], "check") != 0)) {
    fprintf(stderr, "usage: pbq_trace write|check FILE\n");
    return 2;
  }
  const char *path = argv[2];
  if (strcmp(argv[1], "write") == 0) {
    FILE *f = fopen(path, "wb");
    if (f == nullptr) {
      fprintf(stderr, "pbq_trace: cannot write %s\n", path);
      return 1;
    }
    for (uint64_t seed = 1; seed <= k_programs; seed++) {
      std::string t = program_trace(seed);
      fwrite(t.data(), 1, t.size(), f);
    }
    return fclose(f) == 0 ? 0 : 1;
  }
  std::string expected;
  if (!read_file(path, &expected)) {
    fprintf(stderr, "pbq_trace: cannot read %s\n", path);
    return 1;
  }
  size_t offset = 0;
  for (uint64_t seed = 1; seed <= k_programs; seed++) {
    std::string t = program_trace(seed);
    if (expected.compare(offset, t.size(), t) != 0) {
      fprintf(stderr, "pbq_trace: program %llu differs from %s\n%s", static_cast<unsigned long long>(seed), path,
              first_difference(expected, offset, t).c_str());
      return 1;
    }
    offset += t.size();
  }
  if (offset != expected.size()) {
    fprintf(stderr, "pbq_trace: %s holds more than these %llu programs\n", path,
            static_cast<unsigned long long>(k_programs));
    return 1;
  }
  printf("pbq_trace: %llu programs of %zu calls, %zu bytes, the same as %s\n",
         static_cast<unsigned long long>(k_programs), k_calls, offset, path);
  return 0;
}
