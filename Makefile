# The two everyday commands: `make example` and `make test`.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE ?= cmake

.PHONY: all build build-sanitize example test test-release test-sanitize bench bench-growth fuzz build-fuzz format format-check clean \
	deps-example deps-format deps-test deps-bench deps-fuzz

all: build

# Every target first installs what it needs and the machine lacks (Debian and
# Ubuntu, through sudo when not root; elsewhere it stops with the list of what
# to install); with nothing missing this takes a fraction of a second.
# `make test INSTALL_DEPS=no` only reports what is missing.
SETUP_DEPS = bash tools/setup-deps.sh $(if $(filter no,$(INSTALL_DEPS)),--no-install)
deps-example deps-format deps-test deps-bench deps-fuzz:
	@$(SETUP_DEPS) $(@:deps-%=%)

build: deps-test
	$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON
	$(CMAKE) --build build -j $(JOBS)

build-sanitize: deps-test
	$(CMAKE) -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON
	$(CMAKE) --build build-sanitize -j $(JOBS)

# Builds the program alone (not the test suite) and runs the bundled example
# analyses, showing where their results are.
# Without GoogleTest installed the test suite cannot even be configured: the
# example then configures without it.
EXAMPLE_TESTING := $(shell (test -f /usr/include/gtest/gtest.h || test -f /usr/local/include/gtest/gtest.h) && \
	command -v python3 >/dev/null && echo ON || echo OFF)

example: deps-example
	$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=$(EXAMPLE_TESTING)
	$(CMAKE) --build build -j $(JOBS) --target quorvel
	@bash examples/run_example.sh

test-release: build
	cd build && ctest --output-on-failure -j $(JOBS)

test-sanitize: build-sanitize
	cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Every test, in the Release build and again under the address and
# undefined-behaviour sanitizers.
test: format-check test-release test-sanitize

bench: deps-bench
	$(CMAKE) -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BENCHMARKS=ON -DBUILD_TESTING=OFF
	$(CMAKE) --build build-bench -j $(JOBS)
	@ls build-bench/bench/ 2>/dev/null

# Time and peak memory of the program as plots and species grow, and the CPU
# of one phylogeny randomization beside its operation count (bench/growth/).
# Options through GROWTH_ARGS, e.g. make bench-growth GROWTH_ARGS="--grid issue".
bench-growth: deps-bench
	$(CMAKE) -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BENCHMARKS=ON -DBUILD_TESTING=OFF
	$(CMAKE) --build build-bench -j $(JOBS) --target quorvel
	python3 bench/growth/run_growth.py $(GROWTH_ARGS)

# Coverage-guided fuzzing of every reader (clang, libFuzzer, address and
# undefined-behaviour sanitizers): the whole corpus is replayed, then each
# target runs FUZZ_SECONDS seconds (make fuzz FUZZ_SECONDS=600 for long runs).
FUZZ_SECONDS ?= 60
CLANGXX ?= clang++

build-fuzz: deps-fuzz
	$(CMAKE) -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ=ON -DCMAKE_CXX_COMPILER=$(CLANGXX)
	$(CMAKE) --build build-fuzz -j $(JOBS)

fuzz: build-fuzz
	bash tests/fuzz/run_fuzz.sh build-fuzz replay
	bash tests/fuzz/run_fuzz.sh build-fuzz $(FUZZ_SECONDS)

format: deps-format
	find src tests bench -name '*.cpp' -o -name '*.hpp' | xargs clang-format -i

format-check: deps-format
	@find src tests bench -name '*.cpp' -o -name '*.hpp' | xargs clang-format --dry-run --Werror

clean:
	rm -rf build build-sanitize build-bench build-fuzz
