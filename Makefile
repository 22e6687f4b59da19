# The two set-up commands of the README:
#   make run    install the Debian packages, build, run the bundled default program (in a
#               window; without a display, headless, writing what the window would show)
#   make test   build and run the whole test suite
# and the others:
#   make install   install under PREFIX (default /usr/local; DESTDIR=... stages it elsewhere)
#   make deb       build the Debian package into $(BUILD)/package/
#   make fuzz      build the fuzz targets with clang in $(FUZZ_BUILD), run each FUZZ_SECONDS
#   make screenshot (the README's picture, docs/hello.png), make bench
# Variables: BUILD (build folder), WERROR=1, SANITIZE=1 (address and undefined-behaviour
# sanitizers), CMAKE_ARGS (more CMake options), GAME and ARGS for `make run`, FUZZ_TARGETS (the
# fuzz targets to run; default all).

BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_ARGS ?=
cmake_flags := $(CMAKE_ARGS)
ifeq ($(WERROR),1)
cmake_flags += -DORVA_WERROR=ON
endif
ifeq ($(SANITIZE),1)
cmake_flags += -DORVA_SANITIZE=ON
endif

PREFIX ?= /usr/local
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=

.PHONY: deps build run test bench screenshot clean install deb fuzz

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -G Ninja $(cmake_flags) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The bundled default program, the game Prism. Without a display it plays a few seconds of the
# game headless from a bundled input script and leaves the picture the window would show in a PNG.
demo_data := $(BUILD)/default-data
demo_shot := $(BUILD)/default-screenshot.png
demo_events := examples/prism/demo.events
run: build
ifeq ($(GAME),)
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo "./$(BUILD)/orva --data-dir $(demo_data) $(ARGS)   (close the window to end)"; \
	  ./$(BUILD)/orva --data-dir "$(demo_data)" $(ARGS); \
	else \
	  ./$(BUILD)/orva --headless --ticks 1200 --events $(demo_events) \
	    --screenshot "$(demo_shot)" --data-dir "$(demo_data)" $(ARGS) && \
	  echo "No display here: played 6 seconds headless; what the window showed is in $(demo_shot)"; \
	fi
else
	./$(BUILD)/orva $(ARGS) "$(GAME)"
endif

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The README's picture: the default program's window after the same scripted seconds of play.
screenshot: build
	@rm -rf "$(BUILD)/screenshot-data"
	./$(BUILD)/orva --headless --ticks 1200 --events $(demo_events) \
	  --screenshot docs/prism.png --data-dir "$(BUILD)/screenshot-data"

bench: build
	@cmake --build $(BUILD) --target bench

install: build
	cmake --install $(BUILD) --prefix "$(PREFIX)"

deb: build
	cpack --config $(BUILD)/CPackConfig.cmake

# A separate configuration: clang, every file instrumented for coverage, ASan and UBSan.
fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DORVA_FUZZ=ON -DBUILD_TESTING=OFF -DORVA_BENCH=OFF $(CMAKE_ARGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_all
	fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
