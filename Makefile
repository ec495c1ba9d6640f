# make run       install what is missing, build, start Ticora
# make test      install what is missing, build, run every test headless, then the same unit
#                tests under AddressSanitizer and UBSan, then clang-tidy and clang-format
# make install   build for release and install (PREFIX, default /usr/local; DESTDIR honoured)
# make deb       build the Debian package ticora_<version>_<arch>.deb in $(RELEASE_BUILD)
# make bench     build for release and measure Ticora beside GNOME Clocks and Alarm Clock,
#                results in bench/RESULTS.md (QUICK=1: short runs, results in build-bench/)
BUILD ?= build
BUILD_TYPE ?= Debug
ASAN_BUILD ?= build-asan
RELEASE_BUILD ?= build-release
PREFIX ?= /usr/local

# Report every sanitizer finding with its stack, and stop at the first one.
SANITIZER_ENV = ASAN_OPTIONS=detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
                UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all build run test tests sanitizers tidy format release install deb bench clean

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
	@MAKE="$(MAKE)" scripts/check.sh tests sanitizers tidy format

# The stages of make test, each runnable on its own.
tests: build
	ctest --test-dir $(BUILD) --output-on-failure

sanitizers:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTICORA_SANITIZE=ON
	cmake --build $(ASAN_BUILD)
	$(SANITIZER_ENV) ctest --test-dir $(ASAN_BUILD) -L unit --no-tests=error --output-on-failure

tidy: build
	scripts/lint.sh tidy $(BUILD)

format:
	scripts/lint.sh format

release:
	cmake -S . -B $(RELEASE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
	cmake --build $(RELEASE_BUILD)

install:
	@scripts/install-deps.sh run
	@$(MAKE) --no-print-directory release
	DESTDIR="$(DESTDIR)" cmake --install $(RELEASE_BUILD) --prefix "$(PREFIX)" --strip

deb:
	@scripts/install-deps.sh deb
	@$(MAKE) --no-print-directory release
	cd $(RELEASE_BUILD) && cpack -G DEB

bench:
	@bench/run.sh $(if $(QUICK),--quick)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(RELEASE_BUILD)
