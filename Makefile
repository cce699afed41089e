# make run   - set up, build, and start the program from build/dist/
# make test  - set up, build, and run every test; then all of them again
#              under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/)
# make build - set up and build only
# make bench - set up, build, run every benchmark and print one table of them
# make fuzz  - build the libFuzzer targets (clang, sanitizers) into build-fuzz/
# make fuzz-run FUZZ_TARGET=png [FUZZ_SECONDS=3600] - run one of them

BUILD_DIR := build
DIST_DIR := $(BUILD_DIR)/dist
ASAN_DIR := build-asan
FUZZ_DIR := build-fuzz
JOBS ?= 2
FUZZ_SECONDS ?= 600

.PHONY: build run test bench deps clean fuzz fuzz-run

deps:
	@tools/setup-deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)
	@# Demo participants only where there is no database yet; an existing one is never touched.
	@if [ ! -e $(DIST_DIR)/Sbase.mdb ]; then \
	  $(DIST_DIR)/sortia-db --db $(DIST_DIR)/Sbase.mdb create --demo 200 && \
	  echo "Created $(DIST_DIR)/Sbase.mdb with 200 demo participants"; \
	fi

run: build
	cd $(DIST_DIR) && ./sortia

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)
	@cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORTIA_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizer/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

bench: build
	@tools/setup-deps.sh bench
	@cmake -S . -B $(BUILD_DIR) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)
	@tools/run-benchmarks.sh $(BUILD_DIR)

fuzz:
	@tools/setup-deps.sh fuzz
	@cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DSORTIA_FUZZ=ON -DSORTIA_FUZZ_NO_CRC=ON -DSORTIA_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_DIR) --target fuzzers -j $(JOBS)

fuzz-run: fuzz
	@tools/run-fuzzer.sh $(FUZZ_TARGET) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)
