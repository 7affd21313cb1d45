# Front door: `make` builds, `make demo` extracts the bundled sample, `make check` runs
# every test, `make help` lists the goals. Only `make deps`, `make windows-deps`, `make demo`
# and `make check` install Debian packages; every other goal says what is missing instead.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
# ON in CI's own builds (.ci/run); elsewhere a newer compiler's new warning stays a warning.
WERROR     ?= OFF
VERSION    := $(shell sed -n 's/^project(qmextract VERSION \([^ )]*\).*/\1/p' CMakeLists.txt)
# What the tool alone needs to build; what the tests, benchmarks and fuzzing add; what the
# layout check, the benchmarks' memory figures and the Debian package and its check add.
TOOL_PACKAGES := cmake ninja-build g++ make libsquish-dev libcli11-dev
PACKAGES      := $(TOOL_PACKAGES) clang libgtest-dev libbenchmark-dev libclang-rt-14-dev
DEV_PACKAGES  := clang-format time dpkg-dev lintian

.DEFAULT_GOAL := all
.PHONY: all help expected format format-check deps configure build demo check test asan-test fuzz \
        bench clean windows-deps windows windows-zip windows-test package-build install uninstall \
        package package-test dist release

# $(call installed,PACKAGES): the Debian packages in PACKAGES that are not installed, in shell.
installed = $$(for p in $(1); do \
  [ "$$(dpkg-query -W -f='$${db:Status-Status}' $$p 2>/dev/null)" = installed ] || echo $$p; done)

# Installs the Debian packages in $(1) that are missing, with apt-get flags $(2)
# (needs root and Debian's archive).
define install-missing
	@missing=$(call installed,$(1)); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $(2) $$missing >/dev/null; \
	fi
endef

# Fails with one line when a Debian package in $(1) is missing, naming the goal $(2) that
# installs it.
define need
	@missing=$(call installed,$(1)); \
	if [ -n "$$missing" ]; then \
	  echo "$@: missing Debian packages:" $$missing "(make $(2) installs them, as root)" >&2; exit 1; \
	fi
endef

all: build
	@echo "Built $(BUILD)/. make install installs the tool; make help lists the goals."

help:
	@echo "make                  build the tool (and the tests where their libraries are) in $(BUILD)/"
	@echo "make demo             install what is missing, build, extract samples/demo.qm into out/"
	@echo "make check            install what is missing, build everything, run the tests, also under ASan+UBSan"
	@echo "make deps             install the Debian packages the goals below need (as root)"
	@echo "make install          install what make built (PREFIX=... when making, DESTDIR=... for a staging folder)"
	@echo "make uninstall        remove what the last make install wrote, and nothing else"
	@echo "make package          build-package/qmextract_$(VERSION)_<arch>.deb (package-test: lintian and checks)"
	@echo "make windows-zip      build-windows/qmextract-$(VERSION)-win64.zip (windows-deps first; windows-test)"
	@echo "make dist             dist/qmextract-$(VERSION).tar.gz from the committed files"
	@echo "make release          dist/: the tarball, the .deb, the zip and SHA256SUMS"
	@echo "make fuzz, make bench, make format, make format-check, make expected, make clean"

deps:
	$(call install-missing,$(PACKAGES) $(DEV_PACKAGES))

# PREFIX=<folder> given to make (default /usr/local) is where make install will put the
# tool; the man page names the sample's folder under it.
configure:
	$(call need,$(TOOL_PACKAGES),deps)
	cmake --preset default -B $(BUILD) -DQM_WERROR=$(WERROR) \
	  $(if $(PREFIX),-DCMAKE_INSTALL_PREFIX=$(PREFIX))

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Builds only the tool, then extracts samples/demo.qm into out/ by answering the two prompts.
demo: deps configure
	cmake --build $(BUILD) -j $(JOBS) --target qmextract
	@mkdir -p out
	printf 'samples/demo.qm\nout/demo\n' | $(BUILD)/qmextract
	@echo; echo "Files written:"; ls -l out/demo*

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
asan-test:
	$(call need,$(PACKAGES),deps)
	cmake --preset asan -B $(ASAN_BUILD) -DQM_WERROR=$(WERROR)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

check: deps test asan-test

# The libFuzzer target for FUZZ_SECONDS (default 60) from the committed corpus.
fuzz:
	$(call need,$(PACKAGES),deps)
	fuzz/run.sh

# Release build, the benchmarks and the whole run against its floor, one table of goals.
bench:
	$(call need,$(PACKAGES) time,deps)
	bench/run.sh

# make install [DESTDIR=<staging folder>]: what `make` built in $(BUILD)/ (the tool, its
# man page, README, licence, changelog and sample model) goes under the prefix it was
# configured with; nothing is compiled and no package is installed. A build that is not
# up to date, a PREFIX other than the build's, or a file that a Debian package owns is
# refused. make uninstall [DESTDIR=...] removes exactly what the last make install wrote,
# and refuses when a file changed since or the DESTDIR is another.
install:
	DESTDIR="$(DESTDIR)" packaging/install.sh $(BUILD) $(PREFIX)

uninstall:
	DESTDIR="$(DESTDIR)" packaging/uninstall.sh $(BUILD)

# After an intended change of output: the smoke test's expected transcripts and hashes anew.
expected: configure
	cmake --build $(BUILD) -j $(JOBS) --target qmextract
	tests/e2e/refresh-expected.sh $(BUILD)/qmextract

# Every tracked C++ file laid out as .clang-format says; `make format` applies it.
format-check:
	$(call need,clang-format,deps)
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Windows: build-windows/qmextract.exe, cross-built with mingw-w64, packed into
# build-windows/qmextract-<version>-win64.zip and run from the zip under Wine.
WIN_BUILD    ?= build-windows
WIN_PACKAGES := cmake ninja-build dpkg-dev g++-mingw-w64-x86-64 wine64 python3 libcli11-dev
WINE         ?= $(firstword $(wildcard /usr/lib/wine/wine64) wine64)
WINESERVER   ?= $(firstword $(wildcard /usr/lib/wine/wineserver64) wineserver)
# Headless Wine with a private prefix; a UTF-8 locale lets Wine keep non-ASCII file names.
WINE_ENV     := WINEDEBUG=-all WINEPREFIX=$(abspath $(WIN_BUILD))/wineprefix \
                WINEDLLOVERRIDES=mscoree,mshtml= LC_ALL=C.UTF-8
WIN_UNPACKED := $(WIN_BUILD)/unpacked

windows-deps:
	$(call install-missing,$(WIN_PACKAGES),--no-install-recommends)

# libsquish's source at its pinned version (packaging/windows.sh) is fetched on the first build.
windows:
	$(call need,$(WIN_PACKAGES),windows-deps)
	JOBS=$(JOBS) WERROR=$(WERROR) packaging/windows.sh $(WIN_BUILD)

# Every file the Windows build installs: the stripped .exe, README.txt, LICENSE.txt and
# THIRD-PARTY-NOTICES.txt.
windows-zip: windows
	packaging/windows-zip.sh $(WIN_BUILD)

# The zip unpacked and checked (contents, CR LF, stripped, version resource); its .exe
# imports only system DLLs and passes the end-to-end smoke test under Wine.
windows-test: windows-zip
	packaging/check-zip.sh $(WIN_BUILD)/qmextract-$(VERSION)-win64.zip $(WIN_UNPACKED)
	for exe in $(WIN_UNPACKED)/*.exe; do packaging/check-imports.sh $$exe || exit 1; done
	@$(WINE_ENV) $(WINE) wineboot --init 2>/dev/null
	@echo "Smoke tests under Wine ($(WINE))"
	@$(WINE_ENV) sh tests/e2e/smoke.sh $(WINE) $(WIN_UNPACKED)/qmextract.exe && \
	$(WINE_ENV) sh tests/e2e/batch_smoke.sh $(WINE) $(WIN_UNPACKED)/qmbatch.exe; \
	status=$$?; $(WINE_ENV) $(WINESERVER) -k; exit $$status

# The Debian package: a build for /usr with the flags of dpkg-buildflags alone (CMake
# build type None, no -Werror), so DEB_BUILD_OPTIONS (noopt, ...) and the packager's
# DEB_*FLAGS_APPEND decide them; hardening=+all adds stack protector, fortify, relro,
# bind-now and PIE. It is configured as on a machine with only a compiler, CMake and
# libsquish (the test libraries disabled) and builds every default target, so it also
# shows that such a build works and holds nothing of the tests or benchmarks.
PKG_BUILD  ?= build-package
BUILDFLAGS := DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get

package-build:
	$(call need,$(TOOL_PACKAGES) dpkg-dev,deps)
	cmake --preset package -B $(PKG_BUILD) \
	  -DCMAKE_CXX_FLAGS="$$($(BUILDFLAGS) CPPFLAGS) $$($(BUILDFLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(BUILDFLAGS) LDFLAGS)"
	cmake --build $(PKG_BUILD) -j $(JOBS)
	test ! -e $(PKG_BUILD)/tests && test ! -e $(PKG_BUILD)/bench

# build-package/qmextract_<version>_<arch>.deb
package: package-build
	packaging/make-deb.sh $(PKG_BUILD)

# lintian passes it; it holds what it should; its unpacked binary passes the smoke test.
package-test: package
	$(call need,lintian,deps)
	packaging/check-package.sh $(PKG_BUILD)/qmextract_$(VERSION)_*.deb

# dist/qmextract-<version>.tar.gz: the committed files (git archive of HEAD), reproducible.
DIST ?= dist
dist:
	packaging/dist.sh $(DIST)

# dist/ with the source tarball, the .deb, the Windows zip and SHA256SUMS over them, all
# from the committed sources: a work tree that differs from HEAD is refused.
release:
	@git diff --quiet HEAD -- || \
	  { echo "release: the work tree differs from HEAD; commit first, as the tarball holds HEAD" >&2; exit 1; }
	$(MAKE) dist package windows-zip
	cp $(PKG_BUILD)/qmextract_$(VERSION)_*.deb $(WIN_BUILD)/qmextract-$(VERSION)-win64.zip $(DIST)/
	cd $(DIST) && sha256sum qmextract-$(VERSION).tar.gz qmextract_$(VERSION)_*.deb \
	  qmextract-$(VERSION)-win64.zip > SHA256SUMS && sha256sum -c SHA256SUMS

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz build-release $(WIN_BUILD) $(PKG_BUILD) build-install $(DIST) out
