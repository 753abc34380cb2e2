# The two commands of the README: `make run` and `make test`. Each installs what is
# missing first, so both work on a fresh machine.
JOBS ?= $(shell nproc)

.PHONY: all deps build run test test-release test-asan test-tsan test-valgrind bench fuzz fuzz-build clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

# The main job: the pbq command-line host plays the example session on the bundled album.
run: build
	@./build/release/cli/pbq --script examples/session.pbq

# pbq-play on a short demo album of test tones it makes (or on TRACKS=list.json),
# through the system's audio output (SINK=fake plays in silence).
.PHONY: play
SINK ?= auto
play: build
	@if [ -z "$(TRACKS)" ]; then ./build/release/player/pbq-make-album build/release/demo-album 5 3; fi
	@./build/release/player/pbq-play --sink $(SINK) $(if $(TRACKS),$(TRACKS),build/release/demo-album/album.json)

test-release: build
	@ctest --preset release -j $(JOBS)

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

# The thread test under TSan.
test-tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS) --target pbq_thread_tests
	@ctest --preset tsan -R '^threads$$'

# Every test executable of the release build under valgrind memcheck: no errors, no leaks.
test-valgrind: build
	@tests/robustness/valgrind.sh build/release

# The libFuzzer targets (clang, ASan+UBSan), each run for FUZZ_SECONDS.
FUZZ_SECONDS ?= 60

fuzz-build: deps
	@cmake -S . -B build/fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPBQ_BUILD_FUZZERS=ON -DPBQ_BUILD_TESTS=OFF >/dev/null
	@cmake --build build/fuzz --target pbq_fuzzers -j $(JOBS)

fuzz: fuzz-build
	@./fuzz/run.sh $(FUZZ_SECONDS)

test: test-release test-asan test-tsan test-valgrind fuzz

bench: deps
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench -j $(JOBS)
	@for b in engine documents; do \
	  build/bench/bench/pbq_bench_$$b --benchmark_min_time=0.2 --benchmark_out=build/bench/$$b.json --benchmark_out_format=json || exit 1; \
	done
	@python3 bench/ratios.py build/bench/engine.json build/bench/documents.json

clean:
	rm -rf build
