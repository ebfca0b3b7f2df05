# The two set-up commands are `make demo` and `make test`; both install what
# is missing first.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_TSAN ?= build-tsan
BUILD_FUZZ ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= 2
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build deb test test-main test-asan test-tsan test-fuzz fuzz-build fuzz fuzz-seeds demo bench format clean

all: build

deps:
	@TALVENOR_WITH_GUI=1 ./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DTALVENOR_WERROR=$${CI:+ON}
	cmake --build $(BUILD) -j$(JOBS)

test: test-main test-asan test-tsan test-fuzz

test-main: build
	cd $(BUILD) && ctest -j$(JOBS) --output-on-failure --timeout 600

# The core, the catalogue, the reader and the command line once more under
# AddressSanitizer and UndefinedBehaviorSanitizer.
ASAN_TARGETS = talvenor_core_tests talvenor_forms_tests talvenor_catalogue_tests talvenor_search_tests \
  talvenor_reader_tests talvenor-cli talvenor-demosites talvenor-test-closed-port
test-asan: deps
	cmake -S . -B $(BUILD_ASAN) $(CMAKE_FLAGS) -DTALVENOR_SANITIZE=ON -DTALVENOR_BENCH=OFF
	cmake --build $(BUILD_ASAN) -j$(JOBS) --target $(ASAN_TARGETS)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest -j$(JOBS) --output-on-failure --timeout 900 -L 'core|forms|catalogue|search|reader|cli'

# The window and tray tests and the program's own start under the same
# sanitizers: only the programs built here, chosen by their label of their own.
.PHONY: test-asan-gui install
test-asan: test-asan-gui
test-asan-gui: deps
	cmake -S . -B $(BUILD_ASAN) $(CMAKE_FLAGS) -DTALVENOR_SANITIZE=ON -DTALVENOR_BENCH=OFF
	cmake --build $(BUILD_ASAN) -j$(JOBS) --target talvenor_window_tests talvenor_tray_tests talvenor talvenor-cli \
	  talvenor-demosites
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest -j$(JOBS) --output-on-failure --timeout 600 -L windows

# The tests of every worker thread (download and introduction workers, the
# reader's) once more under ThreadSanitizer.
TSAN_TARGETS = talvenor_forms_tests talvenor_catalogue_tests talvenor_search_tests talvenor_reader_tests
test-tsan: deps
	cmake -S . -B $(BUILD_TSAN) $(CMAKE_FLAGS) -DTALVENOR_TSAN=ON -DTALVENOR_BENCH=OFF
	cmake --build $(BUILD_TSAN) -j$(JOBS) --target $(TSAN_TARGETS)
	cd $(BUILD_TSAN) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest -j$(JOBS) --output-on-failure --timeout 900 -L 'forms|catalogue|search|reader'

# The programs, their data, manual pages, completion, desktop entry and
# metadata under PREFIX.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package of this build (CPack), copied here as
# talvenor_VERSION_ARCH.deb: `apt install ./talvenor_*.deb` installs it.
deb: build
	cd $(BUILD) && rm -f talvenor_*.deb && cpack -G DEB
	rm -f talvenor_*.deb && cp $(BUILD)/talvenor_*.deb .

# The page walks and text helpers under libFuzzer (clang, ASan + UBSan): a
# short run of every target in `make test`; `make fuzz` runs each one for
# FUZZ_SECONDS (FUZZ_RUNS=N: N inputs each instead).
fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) $(CMAKE_FLAGS) -DTALVENOR_FUZZ=ON
	cmake --build $(BUILD_FUZZ) -j$(JOBS)

test-fuzz: fuzz-build
	cd $(BUILD_FUZZ) && ctest -j$(JOBS) --output-on-failure -L fuzz

fuzz: fuzz-build
	./scripts/fuzz.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

# Writes the seed corpora and dictionaries in fuzz/ anew from the demo sites.
fuzz-seeds: build
	$(BUILD)/fuzz/talvenor-fuzz-seeds fuzz

demo: build
	./scripts/demo.sh $(BUILD)

bench: build
	./scripts/bench.sh $(BUILD)

format:
	cmake --build $(BUILD) --target format

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_TSAN) $(BUILD_FUZZ)
