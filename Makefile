# The two commands of the README: `make run` and `make test`. Both install what is
# missing from Debian first, so they work on a fresh Debian 12 machine.

BUILD       ?= build
BUILD_SAN   ?= build-asan
JOBS        ?= $(shell nproc)
PACKAGES    := cmake g++ make pkg-config qt6-base-dev libgl-dev libbenchmark-dev \
               xvfb xauth fonts-liberation libqt6svg6 \
               desktop-file-utils appstream
SUDO        := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: all setup configure build run test test-asan bench screenshots package clean format

all: build

setup:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing Debian packages: $$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DKESTROW_BENCH=ON

configure: setup $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display found: Kestrow needs a desktop. Without one, try: xvfb-run -a $(BUILD)/kestrow"; \
	  exit 1; \
	fi
	$(BUILD)/kestrow

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The same suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: setup
	cmake -S . -B $(BUILD_SAN) -DKESTROW_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(BUILD_SAN) -j $(JOBS)
	cd $(BUILD_SAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target kestrow-bench
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/kestrow-bench

screenshots: build
	cmake --build $(BUILD) -j $(JOBS) --target kestrow-screenshots
	QT_QPA_PLATFORM=offscreen $(BUILD)/tools/kestrow-screenshots $(BUILD)/screenshots

# A Debian package of the program (build/kestrow_<version>_<arch>.deb).
package: build
	cd $(BUILD) && cpack -G DEB

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_SAN)
