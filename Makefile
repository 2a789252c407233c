# Tonalith: `make run` starts the desktop program, `make test` builds and runs
# every test. Both install whatever Debian packages are missing first.

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
# Seconds per target for `make fuzz`; `make test` gives each 20.
FUZZ_SECONDS ?= 300
FUZZERS = wave_file_fuzzer wave_effects_fuzzer render_options_fuzzer

.PHONY: all setup build build-asan build-tsan build-fuzz test test-release test-asan test-tsan test-fuzz fuzz test-sound run render bench bench-sox bench-jack screenshots format clean

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

# ThreadSanitizer over the code that runs on more than one thread: the engine
# (whose JACK runs hand changes and samples between the server's thread and
# the event loop) and the runs through a private JACK server.
build-tsan: setup
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1 -g" \
	  -DTONALITH_THREAD_SANITIZER=ON -DTONALITH_GUI=OFF -DTONALITH_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j$(JOBS) --target engine_tests sound_tests \
	  tonalith-render tonalith-render-qt

# libFuzzer targets (clang) with ASan and UBSan.
build-fuzz: setup
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS="-O1 -g" -DTONALITH_SANITIZE=ON -DTONALITH_FUZZ=ON \
	  -DTONALITH_GUI=OFF -DTONALITH_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target $(FUZZERS)

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j$(JOBS)

TSAN_OPTIONS_ALL = halt_on_error=1 suppressions=$(CURDIR)/tests/sound/tsan.supp
test-tsan: build-tsan
	cd $(TSAN_BUILD) && TSAN_OPTIONS="$(TSAN_OPTIONS_ALL)" ctest --output-on-failure -j$(JOBS) -L engine
	cd $(TSAN_BUILD) && TSAN_OPTIONS="$(TSAN_OPTIONS_ALL)" ctest --output-on-failure -R '^Jack'

# Each fuzzer for 20 seconds: a finding fails the run.
test-fuzz: build-fuzz
	bash scripts/fuzz.sh $(FUZZ_BUILD) 20

test: test-release test-asan test-tsan test-fuzz

fuzz: build-fuzz
	bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Only the runs through a private sound server (see tests/sound).
test-sound: build
	cd $(BUILD) && ctest --output-on-failure -L sound

run: build
	@bash scripts/run.sh $(BUILD)

bench: build
	$(BUILD)/bench/tonalith_bench

# tonalith-render against sox on generated files, whole-process times.
bench-sox: build
	RENDER=$(BUILD)/tonalith-render bash bench/vs-sox.sh

# Live runs through JACK and ALSA for 10 minutes each: xruns, CPU time, load.
bench-jack: build
	bash scripts/bench_jack.sh $(BUILD)

screenshots: build
	@bash scripts/screenshots.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
