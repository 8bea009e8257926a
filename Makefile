# The two commands: `make test` builds and passes every test, `make demo`
# runs the main job against the simulator. Both install what is missing.
PRESET ?= debug
JOBS ?= 2

.PHONY: all deps build test test-asan test-tsan demo bench fuzz windows test-windows screenshots clean

all: build

deps:
	@./.ci/deps.sh native

build: deps
	cmake --preset $(PRESET) >/dev/null
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

test-asan:
	$(MAKE) test PRESET=asan

test-tsan:
	$(MAKE) test PRESET=tsan

demo: build
	./build/$(PRESET)/bin/cmmhost demo --plugin ./build/$(PRESET)/bin/Mitutoyo.cmm

bench: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	./bench/run.sh build/release

FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	./fuzz/run.sh build/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build
