# Quorvane developer entry points. `make`, `make test`, `make demo`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test demo bench screenshots clean

all: build

deps:
	scripts/install-deps

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && OMP_THREAD_LIMIT=1 ctest --output-on-failure -j $(JOBS)

# The demo runs quorvane-cli alone: the tests, benchmarks and desktop application wait for `make`.
demo: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target quorvane-cli
	scripts/demo $(BUILD_DIR)

# Every state of the desktop window as a PNG in $(BUILD_DIR)/screenshots, for reviewing the views.
screenshots: build
	$(BUILD_DIR)/bin/quorvane-screenshots $(BUILD_DIR)/screenshots

bench: build
	scripts/run-bench $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
