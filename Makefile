# Set-up, build and checks. Every target installs the Debian packages it needs
# first (scripts/install-deps.sh does nothing when they are all present).

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
DEMO_OUT ?= out/demo
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
TSAN_DIR ?= build-tsan
FUZZ_SECONDS ?= 60
# libobs renders with OpenGL on an X display: start a virtual one when there is none.
XRUN := ./scripts/with-display.sh

.PHONY: all deps configure build demo view screenshot test sanitize tsan fuzz probe probe-live live bench-live live-screenshot install package clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

demo: build
	@mkdir -p $(DEMO_OUT)
	$(BUILD_DIR)/examples/kp-make-pictures $(DEMO_OUT)
	$(XRUN) $(BUILD_DIR)/host/player/kp-host play examples/demo.json --out $(DEMO_OUT)
	@echo "Demo output in $(abspath $(DEMO_OUT)):"
	@ls -1 $(abspath $(DEMO_OUT)) | sed 's|^|  $(abspath $(DEMO_OUT))/|'

# The interactive viewer on the current display (a private, invisible one when DISPLAY is unset).
view: build
	@mkdir -p out/view
	$(XRUN) $(BUILD_DIR)/host/player/kp-host view --out out/view

# The README's picture of the viewer, grabbed from its window.
screenshot: build
	@mkdir -p out/screenshot
	$(XRUN) $(BUILD_DIR)/host/player/kp-host view examples/viewer.json --out out/screenshot --screenshot docs/viewer.png

test: build
	$(XRUN) ctest --test-dir $(BUILD_DIR) --output-on-failure --timeout 300 -j2

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# (with float-cast-overflow, which GCC leaves out of "undefined");
# any report fails (see scripts/sanitize). Line tables (-g1) are all a
# report's stack needs, inlined frames included, and build a quarter faster
# than full debug information.
sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DKP_SANITIZE=address,undefined,float-cast-overflow
	cmake --build $(SANITIZE_DIR) -j$(JOBS)
	./scripts/sanitize/run-tests.sh $(SANITIZE_DIR)

# The real engine's tests under ThreadSanitizer: every case against a private
# Janus server, then every hostile reply of the fake server; any report fails
# it (library-internal findings: scripts/tsan.supp). About two minutes.
TSAN_RUN := TSAN_OPTIONS="halt_on_error=1 ignore_noninstrumented_modules=1 suppressions=$(abspath scripts/tsan.supp)" $(XRUN)
tsan: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DKP_SANITIZE=thread
	cmake --build $(TSAN_DIR) -j$(JOBS) --target test_rtc_janus test_rtc_janus_hostile
	$(TSAN_RUN) ./scripts/janus/with-janus.sh --token-secret kp-test-secret $(TSAN_DIR)/tests/sdk/test_rtc_janus
	$(TSAN_RUN) $(TSAN_DIR)/tests/sdk/test_rtc_janus_hostile

# libFuzzer over saved whiteboard records, over image and slideshow
# settings and over kp-host's scene files, built with clang, AddressSanitizer and UndefinedBehaviorSanitizer;
# runs each target FUZZ_SECONDS from its seed corpus (line tables only, as
# for the sanitizer suite).
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DKP_SANITIZE=address,undefined \
		-DKP_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_DIR) -j$(JOBS) --target fuzz_board fuzz_pictures fuzz_scenes
	./scripts/fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS) fuzz_board
	./scripts/fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS) fuzz_pictures
	./scripts/fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS) fuzz_scenes

# Builds and starts the RTC probe (under a virtual X server when DISPLAY is unset).
probe: configure
	cmake --build $(BUILD_DIR) -j$(JOBS) --target rtc-probe
	$(XRUN) $(BUILD_DIR)/probe/rtc-probe

# The probe with the real engine: a private Janus server, a publisher sending its
# test picture into the probe's channel, and rtc-probe (click its button to join).
probe-live: configure
	cmake --build $(BUILD_DIR) -j$(JOBS) --target rtc-probe rtc-publisher
	$(XRUN) ./scripts/janus/with-janus.sh ./scripts/janus/probe-live.sh $(BUILD_DIR)

# The studio live in a room: a private Janus server, kp-host view going live
# into the probe's channel, the watch page served on loopback (its address is
# printed) and rtc-probe (click its button to join).
live: configure
	cmake --build $(BUILD_DIR) -j$(JOBS) --target kp-host kp-source rtc-probe
	$(XRUN) ./scripts/janus/with-janus.sh ./scripts/web/live.sh $(BUILD_DIR)

# Pen-to-screen latency of going live at 640x360 and 1280x720 (a benchmark:
# median, 95th percentile, sender CPU, lagged and dropped frames).
bench-live: configure
	cmake --build $(BUILD_DIR) -j$(JOBS) --target bench_live_latency
	$(XRUN) ./scripts/janus/with-janus.sh --token-secret kp-bench-secret $(BUILD_DIR)/bench/bench_live_latency

# The README's picture of the watch page showing kp-host live, from headless Chromium.
live-screenshot: build
	$(XRUN) ./scripts/janus/with-janus.sh ./scripts/web/live-screenshot.sh $(BUILD_DIR) docs/live.png

install: build
	cmake --install $(BUILD_DIR)

# A Debian package of what `make install` installs (build/kp-toolkit_<version>_<arch>.deb).
package: build
	cd $(BUILD_DIR) && cpack -G DEB
	@ls -1 $(abspath $(BUILD_DIR))/*.deb

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(TSAN_DIR) $(FUZZ_DIR) out
