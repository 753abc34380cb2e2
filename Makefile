# The two commands of the README: `make run` and `make test`. Each target installs what it
# is missing first (scripts/install-deps.sh PROFILE: only what it builds), so that each
# works on a fresh Debian 12 machine.
JOBS ?= $(shell nproc)
# No "Entering directory" lines from the builds below.
MAKEFLAGS += --no-print-directory

.PHONY: all deps deps-run build run package test-release-builds test-fuzz test test-bindings test-platforms bench-bindings bench-hosts test-release test-asan test-tsan test-valgrind bench fuzz fuzz-build clean

all: build

# Each job installs only what it needs: the CLI (run), the player (play), the release build
# (build), the artifacts (dist), the docs (docs) or the tests (test).
.PHONY: deps-play deps-build deps-docs
deps:
	@./scripts/install-deps.sh test

deps-run:
	@./scripts/install-deps.sh run

deps-play:
	@./scripts/install-deps.sh play

deps-build:
	@./scripts/install-deps.sh build

deps-docs:
	@./scripts/install-deps.sh docs

build: deps-build
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

# The main job: the pbq command-line host plays the example session on the bundled album.
# Installs and builds the host and the library only, in a build of their own, with yyjson's
# source (fetched into build/ by install-deps.sh) built in: apt's configuration is not touched.
run: deps-run
	@cmake -S . -B build/cli -DCMAKE_BUILD_TYPE=Release -DPBQ_BUILD_TESTS=OFF -DPBQ_BUILD_EXAMPLES=OFF \
	  -DPBQ_BUILD_PLAYER=OFF -DPBQ_YYJSON_FROM_SOURCE=ON >/dev/null
	@cmake --build build/cli -j $(JOBS) --target pbq_cli
	@./build/cli/cli/pbq --script examples/session.pbq

# Every artifact in dist/, each made once: from one Release build with yyjson compiled in
# (build/dist) the Debian packages libpbq1, libpbq-dev and pbq-tools, and the wheel, the
# npm package and the jar; the WebAssembly package from build/wasm; the other platforms'
# packages and zip from their one build each (build/platform/<target>, which
# test-platforms tests). Each part is a target of its own, so that `make -j` runs them
# side by side and `make test` makes none twice; a part's script that is missing fails.
.PHONY: dist deps-dist dist-build dist-debs dist-web dist-platforms platform-builds test-dist-debs
deps-dist:
	@./scripts/install-deps.sh dist

# The one Release build of the library and the tools that every artifact comes from.
dist-build: deps-dist
	@cmake -S . -B build/dist -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DPBQ_YYJSON_FROM_SOURCE=ON \
	  -DPBQ_BUILD_TESTS=OFF -DPBQ_BUILD_EXAMPLES=OFF -DPBQ_BUILD_CLI=ON -DPBQ_BUILD_PLAYER=ON -DPBQ_WERROR=ON >/dev/null
	@cmake --build build/dist -j $(JOBS)

dist: dist-debs dist-bindings dist-web dist-platforms

dist-debs: dist-build
	@./scripts/dist-debs.sh build/dist dist

dist-web: wasm
	@./scripts/dist-web.sh dist

# arm64, armhf and 64-bit Windows: one build each, with its tests, for dist and for
# test-platforms alike.
platform-builds: deps-dist
	@./scripts/platform-builds.sh $(JOBS)

dist-platforms: platform-builds
	@./scripts/dist-platforms.sh dist

# The Debian packages of dist/ installed with apt into a Debian 12 root that has only Debian
# 12's archive, and built against there; a host with another yyjson beside pbq's.
test-dist-debs: deps dist
	@tests/install/debs.sh dist
	@tests/install/yyjson_isolation.sh dist

# The former name of the Debian packages' target: they are made with the other artifacts.
package: dist

# pbq-play on a short demo album of test tones it makes (or on TRACKS=a folder, playlist or list),
# through the system's audio output (SINK=fake plays in silence).
.PHONY: play
# Only the player speaks: the configure and build listing goes to build/play.log,
# shown when something fails. A build of its own (build/play), yyjson's source built in.
SINK ?= auto
play: deps-play
	@mkdir -p build
	@{ cmake -S . -B build/play -DCMAKE_BUILD_TYPE=Release -DPBQ_BUILD_TESTS=OFF -DPBQ_BUILD_EXAMPLES=OFF \
	     -DPBQ_YYJSON_FROM_SOURCE=ON -DPBQ_INSTALL=OFF && \
	   cmake --build build/play -j $(JOBS) --target pbq_play pbq_make_album; } \
	  >build/play.log 2>&1 || { cat build/play.log; exit 1; }
	@if [ -z "$(TRACKS)" ]; then ./build/play/player/pbq-make-album build/play/demo-album 5 3 >/dev/null; fi
	@./build/play/player/pbq-play --sink $(SINK) $(if $(TRACKS),$(TRACKS),build/play/demo-album/album.json)

test-release: deps build
	@ctest --preset release -j $(JOBS)

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

# The thread tests under TSan: the library's, and the player's background scan.
test-tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS) --target pbq_thread_tests pbq_scan_tests
	@ctest --preset tsan -R '^(threads|player_scan)$$'

# Every test executable of the release build under valgrind memcheck: no errors, no leaks.
test-valgrind: deps build
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
test-platforms: deps platform-builds
	@scripts/test-platforms.sh $(JOBS)

test: test-release test-asan test-tsan test-valgrind test-fuzz coverage test-release-builds test-bindings test-install-bindings test-web test-platforms test-dist-debs test-swift docs test-docs

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

# Every host's benchmark in one run (bench/hosts/run.sh): the release build, then each
# piece bench/hosts/*.sh at BENCH_SIZES (10, 100,000 and 1,000,000 tracks), its figures
# and targets, and a summary of the targets. Not part of `make test`.
bench-hosts: deps
	@bench/hosts/run.sh

# The Python, Java and Node bindings, built and tested against the release library.
test-bindings: deps build bindings/node/node_modules/.package-lock.json
	@cmake -S bindings -B build/bindings -DPBQ_LIBRARY=$(CURDIR)/build/release/libpbq.so.1 >/dev/null
	@cmake --build build/bindings -j $(JOBS)
	@ctest --test-dir build/bindings --output-on-failure -j $(JOBS)

# The wheel, the npm package and the jar in dist/, each carrying the library as `make dist`
# builds it (yyjson inside) in build/dist.
.PHONY: dist-bindings test-install-bindings
dist-bindings: dist-build
	@for language in python node java; do JOBS=$(JOBS) scripts/dist-$$language.sh build/dist dist || exit 1; done

# Each of them installed as its host installs it, in a fresh folder with this checkout
# out of reach, running the README's quick start.
test-install-bindings: dist-bindings
	@for language in python node java; do tests/install/$$language.sh dist || exit 1; done

# The Swift package (bindings/swift), built and tested with Debian 13's Swift in a Debian 13
# root, against the libpbq1 and libpbq-dev packages of dist/.
.PHONY: test-swift
test-swift: deps dist-debs
	@tests/install/swift.sh dist

# Each binding's per-call overhead against the C call (navigation, the state document).
bench-bindings: test-bindings
	@cmake --build build/bindings --target pbq_bindings_bench_c -j $(JOBS)
	@bindings/bench/run.sh build/bindings

# The Node binding's npm packages (the Node-API headers), as its lockfile pins them.
bindings/node/node_modules/.package-lock.json: bindings/node/package.json bindings/node/package-lock.json
	@cd bindings/node && npm ci --no-audit --no-fund --loglevel=error

clean:
	rm -rf build

# pbq for the web (emscripten): build/wasm/libpbq.a for emscripten hosts and the
# JavaScript package pbq-web in build/wasm/package (bindings/web). emcc's JS optimizer
# reads Debian's acorn, which a node from elsewhere only finds through NODE_PATH.
.PHONY: deps-web wasm test-web
deps-web:
	@./scripts/install-deps.sh web

WASM_ENV = NODE_PATH=$(NODE_PATH)$(if $(NODE_PATH),:)/usr/share/nodejs
wasm: deps-web
	@$(WASM_ENV) emcmake cmake -S bindings/web -B build/wasm/cmake -DPBQ_BUILD_TESTS=OFF -DPBQ_BUILD_EXAMPLES=OFF \
	  -DPBQ_BUILD_CLI=OFF -DPBQ_INSTALL=OFF -DPBQ_WERROR=ON >/dev/null
	@$(WASM_ENV) cmake --build build/wasm/cmake -j $(JOBS)

# The web package under Node, then in headless Chromium (Debian's, driven by
# puppeteer-core as web/package-lock.json pins it), and as a user installs it from dist/.
# The native example it compares with comes from the release build (build).
test-web: wasm build build/web-album/album.json web/node_modules/.package-lock.json dist-web
	@node --test bindings/web/test/*.test.mjs
	@node --test web/test/*.test.mjs

# The web package's size and speed at 100,000 tracks against the native library, in one run.
.PHONY: bench-web
bench-web: wasm build
	@cc -O2 -std=c99 -Wall -Wextra -Iinclude bindings/web/bench/native.c -Lbuild/release -lpbq \
	  -Wl,-rpath,$(CURDIR)/build/release -o build/wasm/pbq_web_bench_native
	@node bindings/web/bench/bench.mjs build/wasm/pbq_web_bench_native

# The web player page (web/) on 127.0.0.1:WEB_PORT, with the package and a demo album
# of generated tones.
.PHONY: web-demo
WEB_PORT ?= 8719
web-demo: wasm build/web-album/album.json
	@node web/serve.mjs $(WEB_PORT)

build/web-album/album.json: web/make-album.mjs
	@node web/make-album.mjs build/web-album

web/node_modules/.package-lock.json: web/package.json web/package-lock.json
	@cd web && npm ci --no-audit --no-fund --loglevel=error


# The API reference from include/pbq.h and include/pbq.hpp, with the README and docs/ as its
# pages (Doxygen; a warning is an error): build/docs/html/index.html. First the docs' own
# checks: every shell block says what runs it, every relative link leads somewhere.
.PHONY: docs test-docs
docs: deps-docs
	@python3 tests/docs/blocks.py check .
	@mkdir -p build/docs
	@doxygen docs/Doxyfile >build/docs/doxygen.log 2>&1 || { cat build/docs/doxygen.log; exit 1; }
	@# The pages' images, where their links (../web/..., as on the repository's pages) lead from html/.
	@mkdir -p build/docs/web && cp web/screenshot.png build/docs/web/
	@echo "docs: build/docs/html/index.html"

# Every command the README and docs/ tell a user to type, as typed: in a throwaway folder
# with dist/ (the Debian ones run in test-dist-debs' Debian 12 root), make run on fresh
# Debian 12 roots with both forms of apt's sources, and the ones run in this checkout (after
# the release build, so that their own `make build` finds it done, also under make -j).
test-docs: deps dist build
	@tests/docs/commands.sh dist
	@tests/install/fresh-run.sh
	@tests/docs/checkout.sh
