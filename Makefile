# Front door: every target installs what is missing, configures and builds through the presets.
.PHONY: all deps build demo test test-release test-asan test-tsan test-windows gui bench fuzz soak screenshots \
	screenshots-windows package package-check format clean

JOBS ?= $(shell nproc)

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

demo: build
	@scripts/demo.sh build/release

test: deps
	@scripts/test.sh

test-release: deps
	@scripts/test.sh release

test-asan: deps
	@scripts/test.sh asan

test-tsan: deps
	@scripts/test.sh tsan

test-windows: ; @scripts/test-windows.sh

gui: build
	@scripts/gui.sh build/release

screenshots: build
	@scripts/screenshots.sh build/release

screenshots-windows: ; @scripts/screenshots-windows.sh

bench: build
	@scripts/bench.sh build/release

fuzz: deps
	@scripts/fuzz.sh

soak: build
	@scripts/soak.sh build/release

package: deps
	@scripts/package.sh

package-check: deps
	@scripts/package-check.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
