# The two commands of the README: `make run` and `make test`. Both install what is
# missing from Debian first, so they work on a fresh Debian 12 machine.

BUILD       ?= build
BUILD_SAN   ?= build-asan
BUILD_FUZZ  ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS        ?= $(shell nproc)
PACKAGES    := cmake g++ make pkg-config qt6-base-dev libgl-dev libbenchmark-dev \
               xvfb xauth fonts-liberation libqt6svg6 libical-dev \
               desktop-file-utils appstream clang-14 libclang-rt-14-dev
SUDO        := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: all setup configure build run test test-crash-full test-asan fuzz bench screenshots \
        package fresh-install-check clean format

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
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -LE crash-full

# Every power-cut state of every change with every sector of every partial write (minutes).
test-crash-full: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -L crash-full

# The same suite built with AddressSanitizer (leak detection on) and UndefinedBehaviorSanitizer.
test-asan: setup
	cmake -S . -B $(BUILD_SAN) -DKESTROW_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(BUILD_SAN) -j $(JOBS)
	cd $(BUILD_SAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS) \
	  -LE crash-full

# Each fuzzing harness for FUZZ_SECONDS, built with clang, libFuzzer, ASan and UBSan. New
# inputs go to $(BUILD_FUZZ)/fuzz/found/<harness>; the committed corpus is only read.
FUZZERS     ?= datafile dates numbers
fuzz: setup
	cmake -S . -B $(BUILD_FUZZ) -DKESTROW_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++-14 \
	  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZERS))
	@for h in $(FUZZERS); do \
	  mkdir -p $(BUILD_FUZZ)/fuzz/found/$$h; \
	  echo "== fuzz_$$h for $(FUZZ_SECONDS) s"; \
	  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    QT_QPA_PLATFORM=offscreen $(BUILD_FUZZ)/fuzz/fuzz_$$h -max_total_time=$(FUZZ_SECONDS) \
	    -print_final_stats=1 -artifact_prefix=$(BUILD_FUZZ)/fuzz/crash-$$h- \
	    $(BUILD_FUZZ)/fuzz/found/$$h fuzz/corpus/$$h > $(BUILD_FUZZ)/fuzz/$$h.log 2>&1; \
	  status=$$?; \
	  runs=$$(sed -n 's/^stat::number_of_executed_units: *//p' $(BUILD_FUZZ)/fuzz/$$h.log); \
	  secs=$$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' $(BUILD_FUZZ)/fuzz/$$h.log); \
	  if [ $$status -ne 0 ]; then \
	    tail -40 $(BUILD_FUZZ)/fuzz/$$h.log; echo "fuzz_$$h FAILED (log: $(BUILD_FUZZ)/fuzz/$$h.log)"; exit 1; \
	  fi; \
	  echo "fuzz_$$h: $$runs runs in $$secs s, $$(( $$runs / ($${secs:-1} > 0 ? $${secs:-1} : 1) )) runs/s"; \
	done

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target kestrow-bench
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/kestrow-bench

screenshots: build
	cmake --build $(BUILD) -j $(JOBS) --target kestrow-screenshots
	QT_QPA_PLATFORM=offscreen $(BUILD)/tools/kestrow-screenshots $(BUILD)/screenshots
	QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 $(BUILD)/tools/kestrow-screenshots $(BUILD)/screenshots/2x

# A Debian package of the program (build/kestrow_<version>_<arch>.deb).
package: build
	cd $(BUILD) && cpack -G DEB

# The package on a fresh, minimal Debian 12 made with debootstrap in a scratch folder,
# installed with apt-get and used by a new user under a virtual display. Needs root and
# the Debian mirror; takes a few minutes.
fresh-install-check: package
	@command -v debootstrap > /dev/null || \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq debootstrap
	$(SUDO) dist/fresh-install-check.sh $(lastword $(wildcard $(BUILD)/kestrow_*_amd64.deb))

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# `make run` starts the program from $(BUILD), so its data file is $(BUILD)/Kestrow.txt
# (with $(BUILD)/xyzzy.tmp left by an interrupted change). A build folder holding either
# with records in it keeps them: everything else in it goes.
KEEP_DATA   := Kestrow.txt xyzzy.tmp

clean:
	@for d in $(BUILD) $(BUILD_SAN) $(BUILD_FUZZ); do \
	  [ -e "$$d" ] || continue; \
	  kept=""; \
	  for f in $(KEEP_DATA); do [ -s "$$d/$$f" ] && kept="$$kept $$f"; done; \
	  if [ -z "$$kept" ]; then rm -rf "$$d"; continue; fi; \
	  find "$$d" -mindepth 1 -maxdepth 1 $$(for f in $$kept; do printf '! -name %s ' "$$f"; done) \
	    -exec rm -rf {} +; \
	  for f in $$kept; do echo "make clean: kept $$d/$$f, which holds your payments"; done; \
	done
