# Front door: `make demo` extracts the bundled sample, `make check` runs every test.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES   := cmake ninja-build g++ clang make libsquish-dev libgtest-dev \
              libbenchmark-dev libclang-rt-14-dev

.PHONY: format format-check deps configure build demo check test asan-test fuzz bench clean \
        windows-deps windows windows-test package-build install package package-test

# Installs the Debian packages in $(1) that are missing, with apt-get flags $(2)
# (needs root and Debian's archive).
define install-missing
	@missing=$$(for p in $(1); do dpkg -s $$p >/dev/null 2>&1 || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $(2) $$missing >/dev/null; \
	fi
endef

deps:
	$(call install-missing,$(PACKAGES))

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

# The libFuzzer target for FUZZ_SECONDS (default 60) from the committed corpus.
fuzz: deps
	fuzz/run.sh

# Release build, the benchmarks and the whole run against its floor, one table of goals.
bench: deps
	$(call install-missing,time)
	bench/run.sh

# Windows: build-windows/qmextract.exe, cross-built with mingw-w64 and run under Wine.
WIN_BUILD    ?= build-windows
WIN_PACKAGES := cmake ninja-build dpkg-dev g++-mingw-w64-x86-64 wine64
WINE         ?= $(firstword $(wildcard /usr/lib/wine/wine64) wine64)
WINESERVER   ?= $(firstword $(wildcard /usr/lib/wine/wineserver64) wineserver)
# Headless Wine with a private prefix; a UTF-8 locale lets Wine keep non-ASCII file names.
WINE_ENV     := WINEDEBUG=-all WINEPREFIX=$(abspath $(WIN_BUILD))/wineprefix \
                WINEDLLOVERRIDES=mscoree,mshtml= LC_ALL=C.UTF-8

windows-deps:
	$(call install-missing,$(WIN_PACKAGES),--no-install-recommends)

windows: windows-deps
	packaging/windows.sh $(WIN_BUILD)

# The .exe imports only system DLLs and passes the end-to-end smoke test under Wine.
windows-test: windows
	packaging/check-imports.sh $(WIN_BUILD)/qmextract.exe
	@$(WINE_ENV) $(WINE) wineboot --init 2>/dev/null
	@echo "Smoke test under Wine ($(WINE))"
	@$(WINE_ENV) sh tests/e2e/smoke.sh $(WINE) $(WIN_BUILD)/qmextract.exe; \
	status=$$?; $(WINE_ENV) $(WINESERVER) -k; exit $$status

# Installing and the Debian package: a Release build of the tool alone.
PKG_BUILD    ?= build-package
PREFIX       ?= /usr/local

package-build: deps
	$(call install-missing,dpkg-dev file)
	cmake -S . -B $(PKG_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_WERROR=ON -DQM_TESTS=OFF -DQM_BENCH=OFF
	cmake --build $(PKG_BUILD) -j $(JOBS) --target qmextract

# The tool in PREFIX/bin, the README in PREFIX/share/doc/qmextract.
install: package-build
	cmake --install $(PKG_BUILD) --prefix $(PREFIX) --strip

# build-package/qmextract_<version>_amd64.deb
package: package-build
	rm -f $(PKG_BUILD)/*.deb
	cd $(PKG_BUILD) && cpack

# The package depends on libsquish's, and its unpacked binary passes the smoke test.
package-test: package
	packaging/check-package.sh $(PKG_BUILD)/qmextract_*_amd64.deb

# Every tracked C++ file laid out as .clang-format says; `make format` applies it.
format-check:
	$(call install-missing,clang-format)
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz build-release $(WIN_BUILD) $(PKG_BUILD) out
