# The two commands of the README: `make run` and `make test`. Each installs what is
# missing first, so both work on a fresh machine.
JOBS ?= $(shell nproc)
# No "Entering directory" lines from the builds below.
MAKEFLAGS += --no-print-directory

.PHONY: all deps deps-run build run package test-release-builds test-fuzz test test-bindings test-platforms bench-bindings test-release test-asan test-tsan test-valgrind bench fuzz fuzz-build clean

all: build

# Each job installs only what it needs: the CLI (run), the artifacts (dist) or the tests.
deps:
	@./scripts/install-deps.sh test

deps-run:
	@./scripts/install-deps.sh run

build: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

# The main job: the pbq command-line host plays the example session on the bundled album.
# Installs and builds the host and the library only, in a build of their own.
run: deps-run
	@cmake -S . -B build/cli -DCMAKE_BUILD_TYPE=Release -DPBQ_BUILD_TESTS=OFF -DPBQ_BUILD_EXAMPLES=OFF \
	  -DPBQ_BUILD_PLAYER=OFF >/dev/null
	@cmake --build build/cli -j $(JOBS) --target pbq_cli
	@./build/cli/cli/pbq --script examples/session.pbq

# The Debian packages libpbq1 and libpbq-dev, in build/package.
package: deps
	@cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DPBQ_WERROR=ON \
	  -DPBQ_BUILD_TESTS=OFF -DPBQ_BUILD_EXAMPLES=OFF -DPBQ_BUILD_CLI=OFF >/dev/null
	@cmake --build build/package -j $(JOBS)
	@cd build/package && cpack -G DEB

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
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPBQ_BUILD_FUZZERS=ON -DPBQ_BUILD_TESTS=OFF -DPBQ_WERROR=ON >/dev/null
	@cmake --build build/fuzz --target pbq_fuzzers -j $(JOBS)

fuzz: fuzz-build
	@./fuzz/run.sh $(FUZZ_SECONDS)

# The short run of every target that each `make test` makes: half a minute each.
test-fuzz: fuzz-build
	@./fuzz/run.sh 30

# Line and branch coverage of src/ under every test (gcc --coverage, gcovr): an HTML
# report in build/coverage/html, a summary, and a failure below scripts/coverage-floor.
.PHONY: coverage
coverage: deps
	@scripts/coverage.sh $(JOBS)

# Plain Release builds (-O3), as a packager makes them, with gcc and with clang and
# warnings as errors. The gcc one is configured for the prefix /usr: its install and
# package tests run there (multiarch library directory, lintian).
test-release-builds: deps
	@cmake -S . -B build/gcc-release -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
	  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DPBQ_WERROR=ON >/dev/null
	@cmake --build build/gcc-release -j $(JOBS)
	@cd build/gcc-release && ctest -R '^embed_(install|package)$$' --output-on-failure
	@cmake -S . -B build/clang-release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=Release -DPBQ_WERROR=ON >/dev/null
	@cmake --build build/clang-release -j $(JOBS)

# The library and its tests cross-built for arm64 and armhf Linux (run under qemu) and
# 64-bit Windows (run under wine), each in build/platform/<target>, with the same
# random programs as this machine's build, byte for byte.
test-platforms: deps
	@scripts/test-platforms.sh $(JOBS)

test: test-release test-asan test-tsan test-valgrind test-fuzz coverage test-release-builds test-bindings test-platforms

bench: deps
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench -j $(JOBS)
	@for b in engine documents; do \
	  build/bench/bench/pbq_bench_$$b --benchmark_min_time=0.2 --benchmark_out=build/bench/$$b.json --benchmark_out_format=json || exit 1; \
	done
	@python3 bench/ratios.py build/bench/engine.json build/bench/documents.json
	@build/bench/bench/pbq_heap_profile
	@build/bench/bench/pbq_bench_scale --benchmark_min_time=0.05 --benchmark_out=build/bench/scale.json --benchmark_out_format=json >/dev/null
	@python3 bench/growth.py build/bench/scale.json

# The Python, Java and Node bindings, built and tested against the release library.
test-bindings: build bindings/node/node_modules/.package-lock.json
	@cmake -S bindings -B build/bindings -DPBQ_LIBRARY=$(CURDIR)/build/release/libpbq.so.1 >/dev/null
	@cmake --build build/bindings -j $(JOBS)
	@ctest --test-dir build/bindings --output-on-failure -j $(JOBS)

# Each binding's per-call overhead against the C call (navigation, the state document).
bench-bindings: test-bindings
	@cmake --build build/bindings --target pbq_bindings_bench_c -j $(JOBS)
	@bindings/bench/run.sh build/bindings

# The Node binding's npm packages (the Node-API headers), as its lockfile pins them.
bindings/node/node_modules/.package-lock.json: bindings/node/package.json bindings/node/package-lock.json
	@cd bindings/node && npm ci --no-audit --no-fund --loglevel=error

clean:
	rm -rf build
