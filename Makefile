# The two commands a newcomer needs: 'make run' and 'make test'.
BUILD ?= build
export TAVRO_BUILD := $(abspath $(BUILD))

.PHONY: all build build32 run test fuzz clean dist screenshots bench

all: build

build:
	tools/setup.sh
	tools/build.sh x86_64 $(TAVRO_BUILD)

build32:
	tools/setup.sh
	tools/build.sh i686 $(TAVRO_BUILD)/i686

run: build
	tools/run.sh

test:
	tools/test.sh

# Each libFuzzer target for FUZZ_SECONDS (default 15).
fuzz:
	tools/setup.sh
	tools/fuzz.sh

# The zip a Windows user downloads: both programs, the help page, a read-me.
dist:
	tools/setup.sh
	tools/dist.sh

# The pictures in docs/, shown by the README.
screenshots: build
	tools/screenshots.sh

# Timings against the waits the program makes on purpose; the table lands in bench/results/.
# BENCH_ARGS passes options to the driver, e.g. BENCH_ARGS="--runs 3 --only output,latency".
bench:
	bench/run.sh $(BENCH_ARGS)

clean:
	rm -rf $(TAVRO_BUILD)
