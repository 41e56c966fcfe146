# Two commands do everything: `make test` and `make demo`.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
# Most tests spend their time waiting on timers, sockets and child programs, not on a core.
TEST_JOBS ?= $(shell echo $$(( $$(nproc) * 2 )))

.PHONY: all deps configure build test demo package clean check-asan format check-format

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# A flaky test is a fault to fix, so every test gets exactly one run.
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(TEST_JOBS) --timeout 600

# velarix-server_<version>_<arch>.deb and velarix-client_<version>_<arch>.deb in $(BUILD)/.
package: build
	@cmake --build $(BUILD) --target package

demo: build
	@scripts/demo.sh $(BUILD)

# Every program and test built with AddressSanitizer and UndefinedBehaviorSanitizer in a folder of
# its own, then the tests; the first finding fails the test that made it.
check-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELARIX_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && \
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	ctest --output-on-failure -j $(JOBS) --timeout 900

# Reformats the C++ sources with .clang-format; check-format only reports what differs.
# Both take FILES=<folders or files> to work on part of the tree.
format:
	@scripts/check-format.sh --fix $(FILES)

check-format:
	@scripts/check-format.sh $(FILES)

# Formatting is part of the test: a change that does not follow .clang-format fails it.
test: check-format

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
