# make run    install what is missing, build, start Ticora
# make test   install what is missing, build, run every test headless
BUILD ?= build
BUILD_TYPE ?= Debug

.PHONY: all build run test clean

all: build

build:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(BUILD)

run:
	@scripts/install-deps.sh run
	@$(MAKE) --no-print-directory build
	@scripts/run.sh $(BUILD)/ticora

test:
	@scripts/install-deps.sh test
	@$(MAKE) --no-print-directory build
	ctest --test-dir $(BUILD) --output-on-failure

clean:
	rm -rf $(BUILD)
