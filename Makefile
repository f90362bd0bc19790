# The two commands a newcomer needs: 'make run' and 'make test'.
BUILD ?= build
export TAVRO_BUILD := $(abspath $(BUILD))

.PHONY: all build build32 run test clean

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

clean:
	rm -rf $(TAVRO_BUILD)
