# Lumora: `make run` builds and starts the viewer, `make test` builds and runs every test.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build run test bench fuzz fuzz-coverage install package clean

all: build

deps:
	./scripts/setup.sh

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	./$(BUILD)/app/lumora

test: build
	./scripts/run-tests.sh $(BUILD)

bench: build
	./scripts/run-bench.sh $(BUILD)

fuzz: deps
	./scripts/fuzz.sh $(or $(SECONDS_PER_TARGET),600)

# Line coverage of each picture reader over the fuzz corpora (clang source-based coverage).
fuzz-coverage: deps
	./scripts/fuzz-coverage.sh

install: build
	cmake --install $(BUILD)

# The Debian package lumora_<version>_<arch>.deb, written into $(BUILD).
package: build
	cd $(BUILD) && cpack

clean:
	rm -rf $(BUILD) build-*
