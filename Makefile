# The whole set-up on a fresh Debian machine: `make run`, `make test`, `make bench`,
# `make sanitize`, `make fuzz`, `make package`.
BUILD ?= build
RELEASE_BUILD ?= build-release
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
PACKAGE_BUILD ?= build-package
FUZZ_SECONDS ?= 60
SCRIPT ?=
JOBS ?= $(shell nproc)

.PHONY: all run test bench sanitize sanitize-address sanitize-thread fuzz package clean \
	bootstrap configure build

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

# Everything (engine, renderer, window, tests) under AddressSanitizer and UBSan, every test;
# then under ThreadSanitizer the imaging and brush tests (the threaded disc fill among them),
# the preview's and the renderer's, which run the worker program; no Qt target (Qt reports races of its
# own) and not the hostile scripts, whose time budgets TSan's slowness overruns.
sanitize: sanitize-address sanitize-thread

sanitize-address: bootstrap
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DQUARNEL_SANITIZE=address,undefined >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:print_stacktrace=1:allocator_may_return_null=1 \
		UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
		QT_QPA_PLATFORM=offscreen \
		ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

sanitize-thread: bootstrap
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_SANITIZE=thread \
		-DQUARNEL_BUILD_GUI=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target test_imaging test_brush test_preview test_cli \
		quarnel-render quarnel-worker
	@TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
		ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -L 'imaging|brush|preview|cli'

# The script fuzzer (clang, libFuzzer, ASan and UBSan) for FUZZ_SECONDS; findings land in
# $(FUZZ_BUILD)/artifacts, the grown corpus in $(FUZZ_BUILD)/corpus. Inputs run in one child
# process at a time; a hang (a single library call that runs for ever, which only the worker
# process can stop) is kept as a timeout- artifact and the run goes on; a crash ends it and
# fails the target. The artifacts are listed at the end.
fuzz: bootstrap
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DQUARNEL_SANITIZE=address,undefined -DQUARNEL_BUILD_FUZZ=ON -DQUARNEL_BUILD_TESTS=OFF \
		-DQUARNEL_BUILD_GUI=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target script_fuzz
	@mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/artifacts
	@status=0; \
	ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:print_stacktrace=1:allocator_may_return_null=1 \
		UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
		$(FUZZ_BUILD)/tests/fuzz/script_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=4096 \
		-timeout=10 -rss_limit_mb=2048 -dict=tests/fuzz/lua.dict -fork=1 -ignore_timeouts=1 \
		-timeout_exitcode=0 -artifact_prefix=$(FUZZ_BUILD)/artifacts/ \
		$(FUZZ_BUILD)/corpus tests/fuzz/corpus || status=$$?; \
	echo "fuzz: artifacts in $(FUZZ_BUILD)/artifacts:"; ls $(FUZZ_BUILD)/artifacts; exit $$status

# The Debian package quarnel_VERSION_ARCH.deb in $(PACKAGE_BUILD): a build for /usr with the
# compiler and linker flags Debian builds its packages with (hardening on), packed by CPack
# (its dependencies found by dpkg-shlibdeps), then checked by lintian, whose errors fail the
# target.
package: bootstrap
	@export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_INSTALL_PREFIX=/usr -DQUARNEL_BUILD_TESTS=OFF \
		-DCMAKE_C_FLAGS="$$(dpkg-buildflags --get CFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
		-DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	@rm -f $(PACKAGE_BUILD)/quarnel_*.deb
	@cd $(PACKAGE_BUILD) && cpack >/dev/null
	@lintian --fail-on error $(PACKAGE_BUILD)/quarnel_*.deb
	@echo "package: $$(ls $(PACKAGE_BUILD)/quarnel_*.deb)"

clean:
	rm -rf $(BUILD) $(RELEASE_BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD)
