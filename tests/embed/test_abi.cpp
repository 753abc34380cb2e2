// The ABI guard: the shared library exports exactly the 26 functions of pbq.h and
// nothing else, and reports the version this header was written for. A symbol that
// leaks (an inline helper, a C++ name, a dependency's function) or goes missing
// changes what hosts link against, so it fails here first.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "pbq.h"

#ifndef PBQ_SHARED_LIBRARY
#error "PBQ_SHARED_LIBRARY must name the built libpbq.so"
#endif

namespace {

const std::set<std::string> k_exported = {
    "pbq_version",          "pbq_abi_version",         "pbq_last_error",
    "pbq_free",             "pbq_create",              "pbq_destroy",
    "pbq_set_tracks_json",  "pbq_next",                "pbq_on_track_ended",
    "pbq_previous",         "pbq_jump",                "pbq_set_repeat",
    "pbq_cycle_repeat",     "pbq_play_next_json",      "pbq_add_to_queue_json",
    "pbq_remove_up_next",   "pbq_move_up_next",        "pbq_clear_up_next",
    "pbq_set_shuffle",      "pbq_set_rate",            "pbq_set_sleep_timer",
    "pbq_check_sleep_timer", "pbq_state_json",         "pbq_export_resume_json",
    "pbq_restore_resume_json", "pbq_selftest",
};

struct dynamic_symbol {
  std::string type;
  std::string name;
};

// The standard output of `command`; a failing command fails the test.
std::string run(const std::string &command) {
  std::string text;
  FILE *pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return text;
  }
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0) << command;
  return text;
}

// `nm -D --defined-only` of the library: "ADDRESS TYPE NAME" per line.
std::vector<dynamic_symbol> defined_dynamic_symbols(const std::string &library) {
  std::vector<dynamic_symbol> out;
  std::istringstream lines(run("nm -D --defined-only '" + library + "'"));
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string address, type, name;
    fields >> address >> type >> name;
    if (name.empty()) {  // a symbol without an address: "TYPE NAME"
      name = type;
      type = address;
    }
    out.push_back({type, name});
  }
  return out;
}

TEST(Abi, ExportsExactlyTheTwentySixFunctions) {
  ASSERT_EQ(k_exported.size(), 26u);
  std::vector<dynamic_symbol> symbols = defined_dynamic_symbols(PBQ_SHARED_LIBRARY);
  std::set<std::string> names;
  for (const dynamic_symbol &s : symbols) {
    EXPECT_EQ(s.type, "T") << s.name << " is exported but is not a function";
    EXPECT_TRUE(k_exported.count(s.name)) << "unexpected export: " << s.name;
    names.insert(s.name);
  }
  for (const std::string &name : k_exported) EXPECT_TRUE(names.count(name)) << "missing: " << name;
  EXPECT_EQ(symbols.size(), 26u);
}

// Hosts record the SONAME at link time; it changes only with the ABI version.
TEST(Abi, SonameFollowsTheAbiVersion) {
  const std::string library = PBQ_SHARED_LIBRARY;
  std::string text = run("readelf -d '" + library + "'");
  std::string soname = "Library soname: [libpbq.so.";
  soname += std::to_string(pbq_abi_version());
  soname += "]";
  EXPECT_NE(text.find(soname), std::string::npos) << text;
}

TEST(Abi, Versions) {
  EXPECT_EQ(pbq_abi_version(), 1);
  EXPECT_STREQ(pbq_version(), "1.0.0");
}

// The header's macros describe the library a host runs with, and agree with each
// other: a host may test them with #if and compare them with the calls at run time.
TEST(Abi, HeaderMacrosAgreeWithTheLibrary) {
  EXPECT_STREQ(pbq_version(), PBQ_VERSION_STRING);
  EXPECT_EQ(pbq_abi_version(), PBQ_ABI_VERSION);
  EXPECT_EQ(std::string(PBQ_VERSION_STRING), std::to_string(PBQ_VERSION_MAJOR) + "." +
                                                 std::to_string(PBQ_VERSION_MINOR) + "." +
                                                 std::to_string(PBQ_VERSION_PATCH));
  EXPECT_EQ(PBQ_VERSION_NUMBER, PBQ_VERSION_MAJOR * 10000 + PBQ_VERSION_MINOR * 100 + PBQ_VERSION_PATCH);
  EXPECT_EQ(PBQ_ABI_VERSION, PBQ_VERSION_MAJOR) << "the SONAME changes with the major version only";
#if PBQ_VERSION_NUMBER < 10000
#error "PBQ_VERSION_NUMBER must be usable in #if"
#endif
}

}  // namespace
