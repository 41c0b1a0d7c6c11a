# Front door: installs what the build needs (Debian), configures, builds and runs.
#   make demo   build in Release and run "qmx demo" on the bundled data
#   make test   build and run the whole test suite
#   make bench  build and run the benchmarks (with their anchor libraries)
#   make asan   run the test suite under AddressSanitizer and UndefinedBehaviorSanitizer
#   make fuzz   build the readers' libFuzzer harnesses (clang) and run each FUZZ_SECONDS seconds

JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
BUILD     ?= build
ASAN_DIR  ?= build-asan
BENCH_DIR ?= build-bench
# Medians of repetitions; BENCH_ONLY=linalg_bench runs one executable (both of its builds).
BENCH_ARGS ?= --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
FUZZ_DIR  ?= build-fuzz
FUZZ_SECONDS ?= 10

BUILD_PKGS := cmake g++ make pkg-config libgtest-dev libpugixml-dev libcli11-dev
BENCH_PKGS := libbenchmark-dev libeigen3-dev libboost-math-dev zlib1g-dev libfftw3-dev libgsl-dev python3
FUZZ_PKGS  := clang libclang-rt-14-dev

.PHONY: all deps bench-deps fuzz-deps configure build demo test bench asan fuzz install clean

all: build

define need_pkgs
	@missing=""; for p in $(1); do dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = "0" ]; then \
	    echo "Installing:$$missing"; \
	    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing || \
	    { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; } || exit 1; \
	  else \
	    echo "Missing packages. Run:  sudo apt-get install -y$$missing"; exit 1; \
	  fi; \
	fi
endef

deps:
	$(call need_pkgs,$(BUILD_PKGS))

bench-deps: deps
	$(call need_pkgs,$(BENCH_PKGS))

fuzz-deps: deps
	$(call need_pkgs,$(FUZZ_PKGS))

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	./$(BUILD)/qmx demo

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: bench-deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DQMX_BUILD_BENCH=ON -DQMX_BUILD_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS)
	python3 bench/report.py $(BENCH_DIR) $(if $(BENCH_ONLY),--only $(BENCH_ONLY)) -- $(BENCH_ARGS)

asan: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQMX_SANITIZE=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

fuzz: fuzz-deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DQMX_BUILD_FUZZ=ON -DQMX_BUILD_TESTS=OFF -DQMX_BUILD_TOOLS=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_all
	fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_DIR) $(BENCH_DIR) $(FUZZ_DIR)
