# The whole set-up on a fresh Debian machine: `make run`, `make test`, `make bench`.
BUILD ?= build
RELEASE_BUILD ?= build-release
SCRIPT ?=
JOBS ?= $(shell nproc)

.PHONY: all run test bench clean bootstrap configure build

all: build

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

run: build
	@scripts/run-tester $(BUILD) $(SCRIPT)

bench: bootstrap
	@cmake -S . -B $(RELEASE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARNEL_BUILD_TESTS=OFF \
		-DQUARNEL_BUILD_BENCH=ON >/dev/null
	@cmake --build $(RELEASE_BUILD) -j $(JOBS)
	@scripts/run-bench $(RELEASE_BUILD)

clean:
	rm -rf $(BUILD) $(RELEASE_BUILD)
