# Velkor: `make run` and `make test` each do the whole set-up on a fresh Debian machine.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
DEVICE ?=

.PHONY: all deps build run test bench clean

all: build

deps:
	./scripts/install-deps.sh

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Runs the updater on DEVICE (default: the device in the user's data directory).
run: build
	./scripts/run.sh $(BUILD_DIR) $(DEVICE)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# Times the OS step on a 256 MiB image against cp + sync on the same disk, and the file picker's
# listing of 10,000 files against ls -l (docs/benchmarks.md).
bench: build
	cd $(BUILD_DIR) && ./bench/velkor_flash_bench && ./bench/velkor_listing_bench

clean:
	rm -rf $(BUILD_DIR)
