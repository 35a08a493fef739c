# The two commands a newcomer needs: `make demo` and `make test`. Each first
# installs whatever the machine is missing (scripts/setup.sh).
JOBS ?= $(shell nproc)

.PHONY: all setup build test demo bench bench-pack bench-log bench-transfer clean

all: build

setup:
	@scripts/setup.sh

build: setup
	@cmake --preset release >/dev/null
	@cmake --build build -j$(JOBS)

test: build
	@scripts/wine-session.sh ctest --test-dir build --output-on-failure

demo: build
	@KEEP_DISPLAY=$${DISPLAY:+1} scripts/wine-session.sh scripts/demo.sh

bench: build
	@scripts/wine-session.sh bench/startup.sh

bench-pack: build
	@scripts/wine-session.sh bench/pack.sh

bench-log: build
	@scripts/wine-session.sh bench/log.sh

bench-transfer: build
	@scripts/wine-session.sh bench/transfer.sh

clean:
	rm -rf build build-debug
