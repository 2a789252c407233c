# Tonalith: `make run` starts the desktop program, `make test` builds and runs
# every test. Both install whatever Debian packages are missing first.

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: all setup build build-asan test test-release test-asan test-sound run render bench screenshots format clean

all: build

setup:
	@bash scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS)

build-asan: setup
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 \
	  -DTONALITH_SANITIZE=ON -DTONALITH_GUI=OFF -DTONALITH_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j$(JOBS)

test: test-release test-asan

# Only the runs through a private sound server (see tests/sound).
test-sound: build
	cd $(BUILD) && ctest --output-on-failure -L sound

run: build
	@bash scripts/run.sh $(BUILD)

bench: build
	$(BUILD)/bench/tonalith_bench

screenshots: build
	@bash scripts/screenshots.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
