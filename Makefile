# The two commands: `make test` builds and passes every test, `make demo`
# runs the main job against the simulator. Both install what is missing.
PRESET ?= debug
JOBS ?= 2

.PHONY: all deps build test test-asan test-tsan stress demo demo-stress bench fuzz windows test-windows screenshots clean

all: build

# CI checks the packages once up front and sets CMM_DEPS_DONE=1.
deps:
	@[ -n "$(CMM_DEPS_DONE)" ] || ./.ci/deps.sh native

# ccache, when there is one, for every configuration (read by cmake when a
# build folder is first configured).
ifneq ($(shell command -v ccache 2>/dev/null),)
export CMAKE_CXX_COMPILER_LAUNCHER ?= ccache
endif

build: deps
	cmake --preset $(PRESET) >/dev/null
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

# The suite N times (default 20) beside two busy processes: no test may flake.
N ?= 20
stress: build
	PRESET=$(PRESET) ./tests/stress.sh $(N)

test-asan:
	$(MAKE) test PRESET=asan

test-tsan:
	$(MAKE) test PRESET=tsan

demo: build
	./build/$(PRESET)/bin/cmmhost demo --plugin ./build/$(PRESET)/bin/Mitutoyo.cmm

bench: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	./bench/run.sh build/release $(if $(BENCH_JSON),--json $(BENCH_JSON))

# `make demo`'s job DEMO_RUNS times beside two busy loops: "N passed, M failed".
DEMO_RUNS ?= 10
demo-stress: build
	./tests/demo_stress.sh $(DEMO_RUNS) build/$(PRESET)

FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	./fuzz/run.sh build/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build

# ---------------------------------------------------------------- Windows
# Cross-built with mingw-w64, run under Wine on a virtual X display. The Wine
# prefix lives in a temporary folder of its own; every run is bounded.
WIN_BUILD ?= build/win
WIN_GTEST ?= build/win-gtest
WINEPREFIX ?= $(or $(TMPDIR),/tmp)/cmm-wine-$(shell id -u)
WIN_TIMEOUT ?= 900
export WINEPREFIX
export WINEDEBUG = -all
export WINEDLLOVERRIDES = mscoree,mshtml=

# The `windows` preset; WIN_BUILD and WIN_GTEST move its folders.
windows:
	@[ -n "$(CMM_DEPS_DONE)" ] || ./.ci/deps.sh windows
	./platform/win32/tools/build-googletest.sh $(WIN_GTEST) $(JOBS)
	cmake --preset windows -B $(WIN_BUILD) \
	  -DGTest_DIR=$(CURDIR)/$(WIN_GTEST)/install/lib/cmake/GTest >/dev/null
	cmake --build $(WIN_BUILD) -j $(JOBS)

test-windows: windows
	timeout $(WIN_TIMEOUT) ./platform/win32/tools/wine-run.sh ctest --test-dir $(WIN_BUILD) --output-on-failure -j 1

screenshots: windows
	timeout 300 ./platform/win32/tools/wine-run.sh ./platform/win32/tools/screenshots.sh $(WIN_BUILD) docs/screenshots
