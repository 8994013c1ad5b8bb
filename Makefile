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

clean:
	rm -rf $(BUILD)
