# The two set-up commands of the README:
#   make run    install the Debian packages, build, run the bundled default program
#   make test   build and run the whole test suite
# Variables: BUILD (build folder), WERROR=1, SANITIZE=1 (address and undefined-behaviour
# sanitizers), CMAKE_ARGS (more CMake options), GAME and ARGS for `make run`.

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

.PHONY: deps build run test bench clean

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -G Ninja $(cmake_flags) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The bundled default program writes a greeting to its debug.log; show it after the run.
demo_data := $(BUILD)/default-data
run: build
ifeq ($(GAME),)
	@rm -f "$(demo_data)/debug.log"
	./$(BUILD)/orva --data-dir "$(demo_data)" $(ARGS)
	@echo "--- the program's $(demo_data)/debug.log:"
	@cat "$(demo_data)/debug.log"
else
	./$(BUILD)/orva $(ARGS) "$(GAME)"
endif

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: build
	@cmake --build $(BUILD) --target bench

clean:
	rm -rf $(BUILD)
