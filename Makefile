# Set-up and everyday commands. `make run` and `make test` are all a newcomer needs.
BUILD ?= build
BENCH_BUILD ?= build-bench
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build test run bench clean asan-build asan fuzz install

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

# Installs into PREFIX, under DESTDIR when set (a staging folder).
PREFIX ?= /usr/local
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

bench: deps
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BENCH=ON -DBUILD_TESTING=OFF > /dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@bench/run-all $(BENCH_BUILD)

# Sanitizers and fuzzing share one clang build folder: AddressSanitizer and
# UndefinedBehaviorSanitizer (any finding fails), libFuzzer coverage, asserts on.
ASAN_BUILD ?= build-asan
ASAN_LABELS ?= foundation|coredata|imageio|graphics|model|coreimage|quicklook|appkit|documents|window
# Qt's network stack leaves the objects of abandoned connections to its HTTP
# thread past the end of the program, and LeakSanitizer reports them now and
# then (indirect leaks only, allocated inside QtCore and QtNetwork). The network
# tests run under every other check; the JSON reader's leaks are checked by its
# fuzz target. The camera library loads and unloads its drivers, whose
# allocations LeakSanitizer then sees without a name to suppress them by, so
# the device tests run there too; the scanner frames' leaks are checked by
# their fuzz target.
ASAN_NETWORK_LABELS ?= sharing|net|capture
# The window's own device tests drive the same camera library.
ASAN_NO_LEAK_CHECK_TESTS ?= ^ImageCapture\.
ASAN_TESTS = tests_foundation tests_coredata tests_imageio tests_graphics tests_model tests_coreimage \
	tests_quicklook tests_appkit tests_documents tests_window \
	tests_sharing tests_net tests_capture tests_tools
FUZZ_SECONDS ?= 20
# The undo test's random sequences are fewer here: the sanitizers make each
# one several times slower, and the full count runs in the plain build.
SANITIZER_ENV = TESSALY_UNDO_SEQUENCES=400 ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/cmake/leak-suppressions.txt UBSAN_OPTIONS=print_stacktrace=1 \
	QT_QPA_PLATFORM=$${QT_QPA_PLATFORM:-offscreen}

asan-build: deps
	@CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
		-DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DTESSALY_FUZZ=ON > /dev/null

# The test labels that read untrusted bytes, the render engine they feed,
# and the documents and canvas that show them, under the sanitizers.
asan: asan-build
	@cmake --build $(ASAN_BUILD) -j $(JOBS) --target $(ASAN_TESTS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest -L '^($(ASAN_LABELS))$$' -E '$(ASAN_NO_LEAK_CHECK_TESTS)' \
		--output-on-failure -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ASAN_OPTIONS=detect_leaks=0:detect_stack_use_after_return=1:strict_string_checks=1 \
		ctest -L '^($(ASAN_NETWORK_LABELS))$$' --output-on-failure -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ASAN_OPTIONS=detect_leaks=0:detect_stack_use_after_return=1:strict_string_checks=1 \
		ctest -R '$(ASAN_NO_LEAK_CHECK_TESTS)' --output-on-failure -j $(JOBS)

# Builds the fuzz targets, writes their seeds, replays every corpus and runs
# each target for FUZZ_SECONDS.
fuzz: asan-build
	@cmake --build $(ASAN_BUILD) -j $(JOBS) --target fuzz_targets
	@$(SANITIZER_ENV) fuzz/run-all $(ASAN_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(BENCH_BUILD) $(ASAN_BUILD)

# Tessaly beside GIMP (installed here from Debian) on the same ten-layer
# document, as whole processes: open, export, save one change, thumbnail.
# Not part of `make bench`, `make test` or CI.
.PHONY: bench-peers
bench-peers: deps
	@scripts/install-peers
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BENCH=ON -DBUILD_TESTING=OFF > /dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target tessaly-batch tessaly-thumbnail
	@bench/peers/run $(BENCH_BUILD)
