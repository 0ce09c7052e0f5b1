# The two commands of the README: `make demo` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
PREFIX     ?= /usr/local
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
# What scripts/demo.sh runs: the splice driver, built with its workers.
DEMO_PROGRAMS = quilm2splice

# The build says one line per finished target (no line per file, no
# entering and leaving folders); compiler messages and errors show in full.
MAKEFLAGS += --no-print-directory
QUIET_BUILD = -DCMAKE_RULE_MESSAGES=OFF

.PHONY: all deps configure build install deb demo test test-sanitize fuzz bench clean

all: build

deps:
	@scripts/setup-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(QUIET_BUILD) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The programs, workers, manual pages and documents under PREFIX.
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package of the same files (under /usr), in the build folder.
deb: build
	@cd $(BUILD) && cpack -G DEB

demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target $(DEMO_PROGRAMS)
	@scripts/demo.sh $(BUILD)/bin

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 1500

# Unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer:
# only their two test programs are built, not the programs they do not run.
test-sanitize: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILM_SANITIZE=ON $(QUIET_BUILD) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS) --target quilm_unit_tests quilm_fuzz_replay
	@ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L unit --timeout 1500

# Every libFuzzer harness in fuzz/ for FUZZ_SECONDS each (clang++ only).
fuzz:
	@QUILM_WITH_MPI=0 QUILM_WITH_CLANG=1 scripts/setup-deps.sh
	@cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DQUILM_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The quick benchmarks, a few minutes on 2 cores: the options on the bundled
# example, and a bundled-size run beside HISAT2 on 20,000 reads of the shared
# region (bench/README.md has the others, which take far longer).
bench: build
	@bench/options.sh $(BUILD)/bin
	@READS=20000 bench/end_to_end.sh $(BUILD)/bin 3

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
