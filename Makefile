# Drives the CMake presets. Quick start: `make run` and `make test`; each
# first installs the Debian packages it lacks (scripts/deps).
JOBS ?= 2
TEST_PRESETS ?= release asan i386
DEPS_GROUPS = run test deb

.PHONY: all build run run-build test $(addprefix test-,$(TEST_PRESETS)) check-symbols bench-build \
	bench deb clean reliability tsan memcheck coverage fuzz-build fuzz-smoke \
	$(addprefix deps-,$(DEPS_GROUPS))

all: build

$(addprefix deps-,$(DEPS_GROUPS)): deps-%:
	scripts/deps $*

build: deps-test
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

# The library, the tool and the data, without the tests and what they need.
run-build: deps-run
	cmake --preset run
	cmake --build --preset run -j $(JOBS)

# The main job on the shipped data: a Latin-1 sample text translated to
# UTF-8, a message whose translations reorder its arguments, and today's date
# in French and Japanese, and in Russian from the CLDR sections (UTF-8). The
# catalog's sections are in Latin-1 and Shift_JIS, so each is shown through
# the UTF-8 table of its charset. The data directory
# is named, so that no KORVAN or user korvan of the machine stands in for it.
INTL = ./build/run/tools/intl/intl
DATA = build/run/data
TO_UTF8 = $(INTL) xlate --home $(DATA) --charset UTF-8 --table
run: SHELL := /bin/bash
run: .SHELLFLAGS := -o pipefail -c
run: run-build
	@echo '--- $(DATA)/samples/latin.ISO-8859-1.txt, translated to UTF-8:'
	@$(TO_UTF8) ISO-8859-1 $(DATA)/samples/latin.ISO-8859-1.txt
	@echo '--- intl message ... new_mail Anna 3 Inbox, in English, German and Japanese:'
	@$(INTL) message $(DATA)/locale/messages.loc english new_mail Anna 3 Inbox
	@$(INTL) message $(DATA)/locale/messages.loc german new_mail Anna 3 Inbox | $(TO_UTF8) ISO-8859-1
	@$(INTL) message $(DATA)/locale/messages.loc japanese new_mail Anna 3 Inbox | $(TO_UTF8) SHIFT_JIS
	@echo '--- intl datetime ... french:'
	@$(INTL) datetime $(DATA)/locale/datetime.loc french | $(TO_UTF8) ISO-8859-1
	@echo '--- intl datetime ... japanese:'
	@$(INTL) datetime $(DATA)/locale/datetime.loc japanese | $(TO_UTF8) SHIFT_JIS
	@echo '--- intl datetime ... ru, one of the CLDR locales (UTF-8):'
	@$(INTL) datetime $(DATA)/locale/cldr-datetime.loc ru

# Every test on every preset, then the checks of the built library; the
# benchmarks are built so that they keep compiling, never run.
test: $(addprefix test-,$(TEST_PRESETS)) check-symbols bench-build

$(addprefix test-,$(TEST_PRESETS)): test-%: deps-test
	cmake --preset $*
	cmake --build --preset $* -j $(JOBS)
	ctest --preset $* -j $(JOBS)

check-symbols: build
	.ci/check-symbols build/release/src/libintl_r.so

bench-build: deps-test
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)

# Runs the comparisons and rewrites bench/RESULTS.md; wants a quiet machine.
bench: bench-build
	bench/compare --no-build

# The reliability checks that CI runs after `make test`.
reliability: fuzz-smoke tsan memcheck coverage

# Every test of the library under ThreadSanitizer. The preset leaves the intl
# tool out (it has no threads, and asan runs its suite), so that suite skips
# itself here.
tsan: deps-test
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

# Every test under Valgrind memcheck: any error or leak fails the test. The
# preset leaves the intl tool out, so its suite skips itself here: it spawns
# the tool and iconv(3) hundreds of times (five minutes under Valgrind), and
# glibc's loading of iconv modules trips Valgrind inside ld.so. The tool runs
# under the asan preset instead.
memcheck: deps-test
	cmake --preset memcheck
	cmake --build --preset memcheck -j $(JOBS)
	ctest --preset memcheck -j $(JOBS)

# Line and branch coverage of src/ by the whole test suite.
COVERAGE_FLAGS = --root . --object-directory build/coverage --filter 'src/' \
	--exclude-directories 'build/coverage/CMakeFiles' \
	--exclude-unreachable-branches --exclude-throw-branches -j $(JOBS)
coverage: deps-test
	cmake --preset coverage
	cmake --build --preset coverage -j $(JOBS)
	find build/coverage -name '*.gcda' -delete
	ctest --preset coverage -j $(JOBS)
	gcovr $(COVERAGE_FLAGS) --branches
	gcovr $(COVERAGE_FLAGS) --print-summary

# libFuzzer: every target over its seed corpus and then FUZZ_SECONDS of new
# inputs, two at a time; new inputs go to build/fuzz/corpus, crashes to
# build/fuzz/artifacts. `make fuzz-locfile FUZZ_SECONDS=1800` runs one target.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = $(patsubst fuzz/%_fuzz.cpp,%,$(wildcard fuzz/*_fuzz.cpp))
FUZZ_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fuzz-build: deps-test
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)

fuzz-smoke: fuzz-build
	$(if $(FUZZ_TARGETS),$(MAKE) -j $(JOBS) --no-print-directory $(addprefix fuzz-,$(FUZZ_TARGETS)))

$(addprefix fuzz-,$(FUZZ_TARGETS)): fuzz-%: fuzz-build
	mkdir -p build/fuzz/corpus/$* build/fuzz/artifacts
	$(FUZZ_ENV) build/fuzz/fuzz/$*_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
		-rss_limit_mb=2048 -max_len=16384 -print_final_stats=1 \
		-artifact_prefix=build/fuzz/artifacts/$*- build/fuzz/corpus/$* fuzz/corpus/$* \
		> build/fuzz/$*.log 2>&1 || { cat build/fuzz/$*.log; exit 1; }
	@grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' build/fuzz/$*.log \
		| sed 's/^/fuzz-$*: /'

# Debian packages of the library, its development files and the tool, in
# build/deb. They are built from a copy of the clone's files there, since
# dpkg-buildpackage writes beside the source tree and debhelper inside it.
# `make test` runs the suite, so the package build skips it unless
# DEB_BUILD_OPTIONS says otherwise.
DEB_DIR = build/deb
DEB_BUILD_OPTIONS ?= nocheck noddebs
deb: deps-deb
	rm -rf $(DEB_DIR)
	mkdir -p $(DEB_DIR)/src
	git ls-files -z --cached --others --exclude-standard | tar -c --null -T - | tar -x -C $(DEB_DIR)/src
	cd $(DEB_DIR)/src && DEB_BUILD_OPTIONS="$(DEB_BUILD_OPTIONS) parallel=$(JOBS)" \
		dpkg-buildpackage -us -uc -b $(if $(filter nocheck,$(DEB_BUILD_OPTIONS)),-Pnocheck)
	lintian --fail-on error $(DEB_DIR)/*.changes
	@ls -l $(DEB_DIR)/*.deb

clean:
	rm -rf build
