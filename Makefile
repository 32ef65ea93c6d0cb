# Thin wrapper: every target first makes sure the Debian packages are there, then uses CMake.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all setup build run test bench clean

all: build

setup:
	@scripts/setup

build: setup
	cmake -S . -B $(BUILD)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD) && ./brindlewick

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@scripts/bench $(BUILD)

clean:
	rm -rf $(BUILD)
