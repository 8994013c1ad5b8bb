# The two commands of the README. Both install what they need first.
BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: all setup configure build run test bench clean

all: build

setup:
	@bash scripts/setup

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

run: build
	@$(BUILD)/app/tavimo

test: build
	@cd $(BUILD) && ctest --output-on-failure

# Benchmarks: an optimised build of its own, never timed assertions in tests.
bench: setup
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVIMO_BUILD_BENCH=ON -DTAVIMO_BUILD_TESTS=OFF >/dev/null
	@cmake --build build-bench
	@build-bench/bench/tavimo_bench

clean:
	rm -rf $(BUILD)
