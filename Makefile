# The two commands a newcomer needs: `make demo` and `make test`. Each first
# installs whatever the machine is missing (scripts/setup.sh).
#
# The shipped template and packing tool are i686 and always built. Where this
# host cannot execute 32-bit programs, the same code is also built for x86_64
# (build-x86_64/) and that build is the one tested and demonstrated
# (scripts/arch.sh); BOUNTIQ_TEST_ARCH=i686|x86_64 forces one.
JOBS ?= $(shell nproc)
# "Testing the ARCH build in DIR/ (why)", once: the check runs a program,
# so only for goals that build or test (not for clean).
ifneq ($(if $(MAKECMDGOALS),$(filter-out clean,$(MAKECMDGOALS)),all),)
ARCH_LINE := $(shell scripts/arch.sh --why)
ARCH := $(word 3,$(ARCH_LINE))
ifeq ($(ARCH),)
$(error BOUNTIQ_TEST_ARCH is i686 or x86_64)
endif
endif
export BOUNTIQ_TEST_ARCH := $(ARCH)
BUILD := $(if $(filter x86_64,$(ARCH)),build-x86_64,build)
# The shipped programs, built in build/ whatever is tested.
SHIPPED := bountiq-wrapper bountiq-pack bountiq-pack-native

.PHONY: all setup build build-other host test reproducible fuzz fuzz-merge demo faults bench bench-pack bench-log bench-transfer bench-markup bench-timer pictures readme-pictures clean

all: build

setup:
	@scripts/setup.sh $(sort i686 $(ARCH))

build: setup
	@cmake --preset release >/dev/null
ifeq ($(ARCH),i686)
	@cmake --build build -j$(JOBS)
else
	@cmake --build build -j$(JOBS) --target $(SHIPPED)
	@cmake --preset release-x86_64 >/dev/null
	@cmake --build build-x86_64 -j$(JOBS)
endif

# The whole of the architecture that is not tested, compiled only: neither
# build rots on hosts of the other kind.
OTHER_PRESET := $(if $(filter x86_64,$(ARCH)),release,release-x86_64)
OTHER_BUILD := $(if $(filter x86_64,$(ARCH)),build,build-x86_64)
build-other:
	@scripts/setup.sh i686 x86_64
	@cmake --preset $(OTHER_PRESET) >/dev/null
	@cmake --build $(OTHER_BUILD) -j$(JOBS)

# The build machine's own build (build-host/): the units free of system
# headers with sanitizers, their tests and fuzz targets (cmake/host.cmake).
host: setup
	@cmake --preset host >/dev/null
	@cmake --build build-host -j$(JOBS)

test: build host
	@ctest --test-dir build-host --output-on-failure
	@echo "$(ARCH_LINE)"
ifneq ($(ARCH),i686)
	@ctest --test-dir build -L static --output-on-failure
endif
	@scripts/wine-session.sh ctest --test-dir $(BUILD) --output-on-failure

# The shipped programs built again in another folder (dependencies too) and
# compared byte for byte; a wrapper packed twice compared too.
reproducible: build
	@scripts/reproducible.sh

# Each fuzz target for FUZZ_SECONDS, all at once, from a copy of its seed
# corpus; a failure lands in its crashes folder (scripts/fuzz.sh).
# fuzz-merge adds the last run's new finds to the committed corpus.
FUZZ_SECONDS ?= 600
fuzz: host
	@FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz.sh

fuzz-merge: host
	@scripts/fuzz.sh --merge

demo: build
	@KEEP_DISPLAY=$${DISPLAY:+1} scripts/wine-session.sh scripts/demo.sh

# The installer phase under faults, one line per case (scripts/faults.sh).
faults: build
	@scripts/wine-session.sh scripts/faults.sh

# The README's pictures of the two pages, taken by the demo on a display of
# its own (the same every time) and put into docs/.
readme-pictures: build
	@BOUNTIQ_DEMO_DIR=$(CURDIR)/$(BUILD)/readme-demo scripts/wine-session.sh scripts/demo.sh
	@for p in welcome offer; do optipng -quiet -o7 -strip all -out docs/$$p.png $(BUILD)/readme-demo/$$p.png; done
	@echo "readme-pictures: docs/welcome.png docs/offer.png"

bench: build
	@scripts/wine-session.sh bench/startup.sh

bench-pack: build
	@scripts/wine-session.sh bench/pack.sh

bench-log: build
	@scripts/wine-session.sh bench/log.sh

bench-transfer: build
	@scripts/wine-session.sh bench/transfer.sh

bench-markup: build
	@scripts/wine-session.sh bench/markup.sh

bench-timer: build
	@scripts/wine-session.sh bench/timer.sh

# Draws the template's pictures again from their sources
# (app/resources/pictures/); the build itself uses the committed PNGs.
pictures: setup
	@scripts/pictures.sh

clean:
	rm -rf build build-debug build-x86_64 build-debug-x86_64 build-host
