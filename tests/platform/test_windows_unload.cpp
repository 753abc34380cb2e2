// pbq.h's unload rules on Windows: a host loads pbq.dll with LoadLibrary and frees it
// while threads that wrote their error text are still running; they read their text
// and end after the FreeLibrary, which must not crash (the DLL pinned itself), and a
// second LoadLibrary finds the same module with the same texts. Every thread's text is
// freed when it ends, whether the thread came from CreateThread or std::thread: the
// C runtime's heap holds no more blocks after many threads than before.
#include <gtest/gtest.h>
#include <malloc.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using jump_fn = int32_t (*)(void *, int32_t);
using last_error_fn = const char *(*)();

// GetProcAddress's answer as the function it is (through void (*)(), which any
// function pointer may be cast to and from).
template <typename F>
F function(HMODULE module, const char *name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

struct loaded {
  HMODULE module = LoadLibraryA("pbq.dll");
  jump_fn jump = function<jump_fn>(module, "pbq_jump");
  last_error_fn last_error = function<last_error_fn>(module, "pbq_last_error");
  bool ok() const { return module != nullptr && jump != nullptr && last_error != nullptr; }
};

// Blocks in use on the C runtime's heap, which pbq.dll and this program share (both
// take malloc from msvcrt.dll).
size_t heap_blocks_in_use() {
  _HEAPINFO entry{};
  size_t used = 0;
  while (_heapwalk(&entry) == _HEAPOK) used += entry._useflag == _USEDENTRY;
  return used;
}

TEST(WindowsUnload, ThreadsOutliveFreeLibrary) {
  loaded lib;
  ASSERT_TRUE(lib.ok()) << "LoadLibrary(pbq.dll) failed: " << GetLastError();
  constexpr int k_threads = 8;
  std::atomic<bool> freed{false};
  std::atomic<int> wrote{0}, right{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < k_threads; t++) {
    threads.emplace_back([&] {
      if (lib.jump(nullptr, 0) == -1) wrote++;
      while (!freed) Sleep(1);
      // After FreeLibrary: the code and this thread's text are still there.
      if (strcmp(lib.last_error(), "jump index out of range") == 0) right++;
    });
  }
  while (wrote < k_threads) Sleep(1);
  ASSERT_TRUE(FreeLibrary(lib.module));
  freed = true;
  for (std::thread &t : threads) t.join();  // each thread's end frees its text in pbq.dll
  EXPECT_EQ(right, k_threads);

  // Pinned: still loaded, and a new LoadLibrary gives the same module and texts.
  HMODULE still = nullptr;
  EXPECT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, "pbq.dll", &still));
  EXPECT_EQ(still, lib.module);
  ASSERT_EQ(lib.jump(nullptr, 0), -1);
  loaded again;
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again.module, lib.module);
  EXPECT_STREQ(again.last_error(), "jump index out of range");
  FreeLibrary(again.module);
}

DWORD WINAPI write_error_text(void *param) {
  auto *lib = static_cast<const loaded *>(param);
  return lib->jump(nullptr, 0) == -1 && strcmp(lib->last_error(), "jump index out of range") == 0 ? 0 : 1;
}

TEST(WindowsUnload, EachThreadsTextIsFreedWhenItEnds) {
  loaded lib;
  ASSERT_TRUE(lib.ok());
  // A first round makes whatever lives once per process (the key, the runtimes' own).
  std::thread([&] { lib.jump(nullptr, 0); }).join();
  constexpr int k_threads = 200;
  const size_t before = heap_blocks_in_use();
  // The walk sees the blocks malloc hands out, the error texts' among them.
  std::vector<void *> blocks;
  for (int i = 0; i < k_threads; i++) blocks.push_back(calloc(1, 256));
  ASSERT_GE(heap_blocks_in_use(), before + k_threads);
  for (void *b : blocks) free(b);
  for (int t = 0; t < k_threads; t++) {
    if (t % 2 == 0) {
      std::thread([&] { EXPECT_EQ(write_error_text(&lib), 0u); }).join();
    } else {
      HANDLE h = CreateThread(nullptr, 0, write_error_text, &lib, 0, nullptr);
      ASSERT_NE(h, nullptr);
      WaitForSingleObject(h, INFINITE);
      DWORD code = 1;
      GetExitCodeThread(h, &code);
      EXPECT_EQ(code, 0u);
      CloseHandle(h);
    }
  }
  const size_t after = heap_blocks_in_use();
  // One text lost per thread would leave k_threads more blocks; a few may come and go.
  EXPECT_LT(after, before + k_threads / 10) << "blocks in use: " << before << " before, " << after << " after";
  FreeLibrary(lib.module);
}

}  // namespace
