# The two commands of the README: `make run` and `make test`. Each installs what is
# missing first, so both work on a fresh machine.
JOBS ?= $(shell nproc)

.PHONY: all deps build run test test-release test-asan bench clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

# The main job: the pbq command-line host plays the example session on the bundled album.
run: build
	@./build/release/cli/pbq --script examples/session.pbq

test-release: build
	@ctest --preset release -j $(JOBS)

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

test: test-release test-asan

bench: deps
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench -j $(JOBS)
	@for b in build/bench/bench/pbq_bench_*; do $$b --benchmark_min_time=0.2; done

clean:
	rm -rf build
