# Quorvane developer entry points. `make`, `make test`, `make demo`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

SANITIZE_DIR ?= build-sanitize
SANITIZER_OPTIONS ?= detect_leaks=1:halt_on_error=1

.PHONY: all deps configure build test demo bench sanitize clean

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

demo: build
	scripts/demo $(BUILD_DIR)

bench: build
	scripts/run-bench $(BUILD_DIR)

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_SANITIZE=ON \
		-DQUORVANE_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && OMP_THREAD_LIMIT=1 ASAN_OPTIONS=$(SANITIZER_OPTIONS) \
		LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/sanitizer-suppressions.txt \
		UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
