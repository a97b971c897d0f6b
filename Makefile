BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test run fuzz bench-tables clean

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
	$(BUILD)/bin/zelplus

# A longer run of the storage engine's fuzz target (FUZZ_SECONDS, default ten minutes).
FUZZ_SECONDS ?= 600
fuzz: configure
	cmake --build $(BUILD) -j $(JOBS) --target storage_fuzz storage_fuzz_seeds
	$(BUILD)/fuzz/storage_fuzz_seeds $(BUILD)/fuzz/seeds
	mkdir -p $(BUILD)/fuzz/corpus-long
	$(BUILD)/fuzz/bin/storage_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
		-max_len=200000 $(BUILD)/fuzz/corpus-long $(BUILD)/fuzz/seeds

# Every figure of the README's performance section, from one run each (6 to 8 minutes on 8 cores).
bench-tables: configure
	scripts/bench-tables $(BUILD)

clean:
	rm -rf $(BUILD)
