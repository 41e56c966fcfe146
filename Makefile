# Two commands do everything: `make test` and `make demo`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test demo clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600 --repeat until-pass:2

demo: build
	@scripts/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD)
