# Velkor: `make run` and `make test` each do the whole set-up on a fresh Debian machine.
BUILD_DIR ?= build
# CI builds without debug information, which it never reads.
BUILD_TYPE ?= RelWithDebInfo
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
JOBS ?= $(shell nproc)
DEVICE ?=
FUZZ_SECONDS ?= 60
# Where the virtual device's image is kept between runs, outside the clone.
VM_CACHE ?= /var/cache/velkor-vm

# Leaks are reported, except those the suppression file explains; undefined behaviour stops a test.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all deps build run test test-device test-sanitize fuzz bench package clean

all: build

deps:
	./scripts/install-deps.sh

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Runs the updater on DEVICE (default: the device in the user's data directory).
run: build
	./scripts/run.sh $(BUILD_DIR) $(DEVICE)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# Velkor on a booted virtual device (docs/target.md): the package, the device's image built from
# Debian's packages with it (cached in VM_CACHE), then the test, which boots the image under QEMU.
test-device: package
	./scripts/device-vm/test-device.sh $(BUILD_DIR) $(VM_CACHE)

# The in-process suites again (unit, contract, backend, dialog), built with AddressSanitizer (leaks
# included) and UBSan. The end-to-end suites, which run the same code through the programs, are left
# to `make test` and not built here; so are the power-cut sweeps, which run the same update at every
# cut point, half the sanitized run's time for code the other suites run once.
test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DVELKOR_SANITIZE=ON
	$(SANITIZER_ENV) cmake --build $(SANITIZE_DIR) -j $(JOBS)
	$(SANITIZER_ENV) ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS) --exclude-regex 'PowerCutTest\.'

# The Debian package of the two programs, their manual pages, the docs and the examples, in
# BUILD_DIR/package; only what the package holds is built.
package: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS) --target velkor_package_contents
	cd $(BUILD_DIR) && cpack -G DEB
	@ls $(BUILD_DIR)/package/*.deb

# Runs each fuzz target for FUZZ_SECONDS from its seed corpus (docs/reliability.md).
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKOR_FUZZ=ON
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzzers
	./scripts/fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# Times the OS step on a 256 MiB image against cp + sync on the same disk, the real device's driver
# on a 256 MiB loop-device region against the disk's limit on it and against `rauc install` (as
# root), with a tenth of the chunks changed, and the file picker's
# listing of 10,000 and of 100,000 files, rows and window, against ls -l, and a whole update against
# the disk's own limit (docs/benchmarks.md).
bench: build
	./scripts/install-deps.sh bench
	cd $(BUILD_DIR) && ./bench/velkor_flash_bench && ./bench/velkor_listing_bench \
		&& ./bench/velkor_listing_bench --files 100000 --runs 3 && ./bench/velkor_update_bench

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
