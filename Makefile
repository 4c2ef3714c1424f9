# Set-up and everyday commands. `make run` and `make test` are all a newcomer needs.
BUILD ?= build
BENCH_BUILD ?= build-bench
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build test run bench clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=$${QT_QPA_PLATFORM:-offscreen} ctest --output-on-failure -j $(JOBS)

run: build
	$(BUILD)/app/tessaly

bench: deps
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BENCH=ON -DBUILD_TESTING=OFF > /dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@bench/run-all $(BENCH_BUILD)

clean:
	rm -rf $(BUILD) $(BENCH_BUILD)
