# make run     - set up, build, and start the program from build/dist/
# make test    - set up, build, and run every test
# make build   - set up and build only
# make bench   - set up, build, and run the benchmarks
# make package - set up, build, and make the Debian package build/sortia_*.deb

BUILD_DIR := build
DIST_DIR := $(BUILD_DIR)/dist
JOBS ?= 2

.PHONY: build run test bench package deps clean

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

bench: build
	$(BUILD_DIR)/bench/sortia-display-bench

package: build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR)
