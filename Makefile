# Drives the CMake presets. Quick start: `make run` and `make test`.
JOBS ?= 2
TEST_PRESETS ?= release asan i386

.PHONY: all build run test $(addprefix test-,$(TEST_PRESETS)) check-symbols bench-build bench clean

all: build

build:
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

# The main job on the shipped data.
run: build
	./build/release/tests/c_consumer

# Every test on every preset, then the checks of the built library; the
# benchmarks are built so that they keep compiling, never run.
test: $(addprefix test-,$(TEST_PRESETS)) check-symbols bench-build

$(addprefix test-,$(TEST_PRESETS)): test-%:
	cmake --preset $*
	cmake --build --preset $* -j $(JOBS)
	ctest --preset $* -j $(JOBS)

check-symbols: build
	.ci/check-symbols build/release/src/libintl_r.so

bench-build:
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)

# Runs the comparisons and rewrites bench/RESULTS.md; wants a quiet machine.
bench: bench-build
	bench/compare --no-build

clean:
	rm -rf build
