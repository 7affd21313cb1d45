# Front door: `make demo` extracts the bundled sample, `make check` runs every test.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
# What the tool alone needs to build, and what the tests, benchmarks and fuzzing add.
TOOL_PACKAGES := cmake ninja-build g++ make libsquish-dev
PACKAGES      := $(TOOL_PACKAGES) clang libgtest-dev libbenchmark-dev libclang-rt-14-dev

.PHONY: expected format format-check deps tool-deps configure build demo check test asan-test fuzz bench \
        clean windows-deps windows windows-zip windows-test package-build install uninstall \
        package package-test

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

tool-deps:
	$(call install-missing,$(TOOL_PACKAGES))

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

# Windows: build-windows/qmextract.exe, cross-built with mingw-w64, packed into
# build-windows/qmextract-<version>-win64.zip and run from the zip under Wine.
WIN_BUILD    ?= build-windows
WIN_PACKAGES := cmake ninja-build dpkg-dev g++-mingw-w64-x86-64 wine64 python3
WINE         ?= $(firstword $(wildcard /usr/lib/wine/wine64) wine64)
WINESERVER   ?= $(firstword $(wildcard /usr/lib/wine/wineserver64) wineserver)
# Headless Wine with a private prefix; a UTF-8 locale lets Wine keep non-ASCII file names.
WINE_ENV     := WINEDEBUG=-all WINEPREFIX=$(abspath $(WIN_BUILD))/wineprefix \
                WINEDLLOVERRIDES=mscoree,mshtml= LC_ALL=C.UTF-8
WIN_UNPACKED := $(WIN_BUILD)/unpacked

windows-deps:
	$(call install-missing,$(WIN_PACKAGES),--no-install-recommends)

windows: windows-deps
	packaging/windows.sh $(WIN_BUILD)

# The stripped .exe, README.txt, LICENSE.txt and THIRD-PARTY-NOTICES.txt.
windows-zip: windows
	packaging/windows-zip.sh $(WIN_BUILD)

# The zip unpacked and checked (contents, CR LF, stripped, version resource); its .exe
# imports only system DLLs and passes the end-to-end smoke test under Wine.
windows-test: windows-zip
	packaging/check-zip.sh $(WIN_BUILD)/qmextract-*-win64.zip $(WIN_UNPACKED)
	packaging/check-imports.sh $(WIN_UNPACKED)/qmextract.exe
	packaging/check-imports.sh $(WIN_UNPACKED)/qmbatch.exe
	@$(WINE_ENV) $(WINE) wineboot --init 2>/dev/null
	@echo "Smoke tests under Wine ($(WINE))"
	@$(WINE_ENV) sh tests/e2e/smoke.sh $(WINE) $(WIN_UNPACKED)/qmextract.exe && \
	$(WINE_ENV) sh tests/e2e/batch_smoke.sh $(WINE) $(WIN_UNPACKED)/qmbatch.exe; \
	status=$$?; $(WINE_ENV) $(WINESERVER) -k; exit $$status

# The Debian package: a Release build for /usr with Debian's hardening flags (stack
# protector, fortify, relro, bind-now, PIE). It is configured as on a machine with
# only a compiler, CMake and libsquish (the test libraries disabled) and builds every
# default target, so it also shows that such a build works and holds nothing of the
# tests or benchmarks.
PKG_BUILD  ?= build-package
BUILDFLAGS := DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get

package-build: tool-deps
	$(call install-missing,dpkg-dev)
	cmake -S . -B $(PKG_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_WERROR=ON \
	  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
	  -DCMAKE_INSTALL_PREFIX=/usr \
	  -DCMAKE_CXX_FLAGS="$$($(BUILDFLAGS) CPPFLAGS) $$($(BUILDFLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(BUILDFLAGS) LDFLAGS)"
	cmake --build $(PKG_BUILD) -j $(JOBS)
	test ! -e $(PKG_BUILD)/tests && test ! -e $(PKG_BUILD)/bench

# build-package/qmextract_<version>_<arch>.deb
package: package-build
	packaging/make-deb.sh $(PKG_BUILD)

# lintian passes it; it holds what it should; its unpacked binary passes the smoke test.
package-test: package
	$(call install-missing,lintian,--no-install-recommends)
	packaging/check-package.sh $(PKG_BUILD)/qmextract_*.deb

# make install [PREFIX=/usr/local]: only what the tool needs is installed and built;
# the tool, its man page, README, licence, changelog and sample model go under PREFIX.
# make uninstall removes them again.
INSTALL_BUILD ?= build-install
PREFIX        ?= /usr/local

install: tool-deps
	cmake -S . -B $(INSTALL_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_TESTS=OFF -DQM_BENCH=OFF \
	  -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(INSTALL_BUILD) -j $(JOBS) --target qmextract
	cmake --install $(INSTALL_BUILD) --strip

uninstall:
	packaging/uninstall.sh $(INSTALL_BUILD)/install_manifest.txt

# After an intended change of output: the smoke test's expected transcripts and hashes anew.
expected: configure
	cmake --build $(BUILD) -j $(JOBS) --target qmextract
	tests/e2e/refresh-expected.sh $(BUILD)/qmextract

# Every tracked C++ file laid out as .clang-format says; `make format` applies it.
format-check:
	$(call install-missing,clang-format)
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz build-release $(WIN_BUILD) $(PKG_BUILD) $(INSTALL_BUILD) out
