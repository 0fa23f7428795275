# Front door for building and testing. `make test` does everything from a fresh clone:
# it installs the missing Debian packages (`make deps`), configures, builds and runs the
# suite. `make build` only configures and builds; it installs nothing.
BUILD_DIR    ?= build
SANITIZE_DIR ?= build-sanitize
PACKAGE_DIR  ?= build-package
BENCH_DIR    ?= build-bench
CLANG_DIR    ?= build-clang
FUZZ_DIR     ?= build-fuzz
FUZZ_SECONDS ?= 30
MUTATION_DIR   ?= build-mutation
MUTATION_SEED  ?= 24
MUTATION_COUNT ?= 160
MUTATION_FILES ?= bio reader keys app platform host tools
MUTATION_FLAGS ?=
JOBS         ?= $(shell nproc)
CTEST_FLAGS  ?= --output-on-failure -j $(JOBS)

# Sanitizer reports fail the run; leaks count as reports.
# strict_string_checks is left off: it misreads strndup of an unterminated name with
# its length (as libxkbcommon-x11 does) as an overflow.
export ASAN_OPTIONS  ?= detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS ?= halt_on_error=1:print_stacktrace=1
# The desktop libraries' lifelong caches are not this program's leaks.
export LSAN_OPTIONS  ?= suppressions=$(CURDIR)/tests/lsan-suppressions.txt:print_suppressions=0

.PHONY: all deps build test test-sanitize build-clang test-clang fuzz fuzz-smoke demo bench mutation \
        format format-check tidy clean package screenshots

all: build

deps:
	@scripts/install-deps.sh

# Configure and build into BUILD_DIR; `build` alone, and after the installer for the
# targets that start from a fresh machine (the installer must finish first, so it is
# not a sibling prerequisite that `make -j` could run alongside the build).
define configure-and-build
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS)
endef

build:
	$(configure-and-build)

test: deps
	$(configure-and-build)
	cd $(BUILD_DIR) && ctest $(CTEST_FLAGS)

test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DSWIPETYPE_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ctest $(CTEST_FLAGS)

# The whole tree built with clang as well as GCC (clang and GCC warn about
# different things, and -Werror holds for both), then the suite on that build.
build-clang: deps
	cmake -S . -B $(CLANG_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(CLANG_DIR) -j $(JOBS)

test-clang: build-clang
	cd $(CLANG_DIR) && ctest $(CTEST_FLAGS)

# The libFuzzer targets of fuzz/ (clang only), everything instrumented for
# fuzzing and both sanitizers; no tests, programs or desktop front end.
fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	      -DSWIPETYPE_FUZZ=ON -DSWIPETYPE_TESTS=OFF -DSWIPETYPE_GTK=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzzers

# Every fuzz target for FUZZ_SECONDS on its committed corpus; any finding fails.
fuzz-smoke: fuzz
	scripts/run-fuzzers.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# The main job: the program with the reader simulator as COM1:, sample cards, a
# tag, and the orderly end (scripts/demo.sh).
demo: deps
	$(configure-and-build)
	scripts/demo.sh $(BUILD_DIR)

# The Debian package (build-package/swipetype_*.deb), built the way Debian builds
# its own: optimised, with the distribution's hardening flags (the program's
# modules linked as the programs are), under /usr. The Release flags keep only NDEBUG, so dpkg-buildflags' -O2 is the optimisation
# level (GCC 12 at -O3 reports false -Wrestrict errors inside std::string).
package: deps
	export DEB_BUILD_MAINT_OPTIONS=hardening=+all && \
	cmake -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release -DSWIPETYPE_TESTS=OFF \
	      -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
	      -DCMAKE_C_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CFLAGS)" \
	      -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	      -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	      -DCMAKE_MODULE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	rm -f $(PACKAGE_DIR)/swipetype_*.deb $(PACKAGE_DIR)/swipetype-gtk_*.deb
	cd $(PACKAGE_DIR) && cpack -G DEB

# Every benchmark of bench/ in an optimised build (build-bench/), as one table of
# measure, value and target (scripts/bench.sh). Not part of `make test` or CI.
bench: deps
	BENCH_DIR=$(BENCH_DIR) JOBS=$(JOBS) scripts/bench.sh

# How sharp the suite is: MUTATION_COUNT single-operator changes to the sources of
# MUTATION_FILES (seeded by MUTATION_SEED), each built in MUTATION_DIR and run through
# the suite; prints the score per folder and the changes no test caught
# (scripts/mutation.py; MUTATION_FLAGS=--matrix records which tests catch each one,
# --timeout S, --resume). Takes hours. Not part of `make test` or CI.
mutation: deps
	scripts/mutation.py --build-dir $(MUTATION_DIR) --seed $(MUTATION_SEED) --count $(MUTATION_COUNT) \
	    --jobs $(JOBS) --files $(MUTATION_FILES) $(MUTATION_FLAGS)

# The README's screenshots: the desktop tests that take them write them into
# $(BUILD_DIR)/screenshots, from where they are copied to docs/screenshots.
screenshots: build
	rm -rf $(BUILD_DIR)/screenshots
	cd $(BUILD_DIR) && ctest --output-on-failure -R '^DesktopProgramTest\.'
	mkdir -p docs/screenshots
	cp $(BUILD_DIR)/screenshots/*.png docs/screenshots/

# Every tracked C++ file in the repository's .clang-format style: `format` rewrites
# them, `format-check` (run by CI) fails naming each file that differs, and each
# comment that names a file the tree does not hold (scripts/check-comment-paths.py).
format:
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i

format-check:
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
	scripts/check-comment-paths.py

# clang-tidy (.clang-tidy) over every tracked .cpp file of the build in BUILD_DIR, in
# JOBS processes; any finding fails (scripts/run-tidy.sh).
tidy: build
	scripts/run-tidy.sh $(BUILD_DIR) $(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(PACKAGE_DIR) $(BENCH_DIR) $(CLANG_DIR) $(FUZZ_DIR) $(MUTATION_DIR)
