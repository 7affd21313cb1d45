# Front door: `make demo` extracts the bundled sample, `make check` runs every test.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES   := cmake ninja-build g++ clang make libsquish-dev libgtest-dev \
              libbenchmark-dev libclang-rt-14-dev

.PHONY: deps configure build demo check test asan-test fuzz bench clean

# Installs the Debian packages that are missing (needs root and Debian's archive).
deps:
	@missing=$$(for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_WERROR=ON

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Builds only the tool, then extracts samples/demo.qm into out/ by answering the two prompts.
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target qmextract
	@mkdir -p out
	printf 'samples/demo.qm\nout/demo\n' | $(BUILD)/qmextract
	@echo; echo "Files written:"; ls -l out/demo*

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
asan-test: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQM_WERROR=ON -DQM_SANITIZE=ON -DQM_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

check: test asan-test

# Each libFuzzer target for FUZZ_SECONDS (default 60) from the committed corpus.
fuzz: deps
	fuzz/run.sh

# Release build, every benchmark, one table of goals and measured ratios.
bench: deps
	bench/run.sh

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz build-release out
