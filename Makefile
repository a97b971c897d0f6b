BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test run clean

all: build

deps:
	bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	@if [ -x $(BUILD)/bin/zelplus ]; then \
		$(BUILD)/bin/zelplus; \
	else \
		echo "make run: the program zelplus is not built yet; the engine and viewer libraries are in $(BUILD)/bin."; \
		exit 1; \
	fi

clean:
	rm -rf $(BUILD)
