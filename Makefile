# The two commands of the README: `make demo` and `make test`. Both install what is missing,
# configure with CMake and build.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-bench
PEER_BUILD ?= build-bench-tools
WIN_BUILD  ?= build-win
JOBS       ?= 2

.PHONY: all deps build build-asan fuzz bench bench-peer windows test demo install clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

$(ASAN_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCPS_SANITIZE=ON

build-asan: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j$(JOBS)

# The fuzz targets, built with clang and libFuzzer (run them by hand, e.g.
# build-fuzz/fuzz/codeplug_unpack_fuzz -max_total_time=300).
$(FUZZ_BUILD)/CMakeCache.txt: | deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCPS_BUILD_FUZZ=ON -DCPS_BUILD_TESTS=OFF -DCPS_BUILD_TOOLS=OFF

fuzz: deps $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target codeplug_unpack_fuzz r9_image_fuzz

# Speed of the radio transfers and of a pass over every block (Google Benchmark, Release).
bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DCPS_BUILD_BENCH=ON \
	  -DCPS_BUILD_TESTS=OFF -DCPS_BUILD_TOOLS=OFF
	cmake --build $(BENCH_BUILD) -j$(JOBS) --target transfer_bench
	$(BENCH_BUILD)/bench/transfer_bench

# cpsctl read and write against a peer tool's decode and encode, timed side by side (the peer and
# hyperfine installed when missing). cpsctl is built in Release with profile-guided optimisation:
# once to write profiles, trained by bench/profile-train.sh, once with them; then linked again
# with the functions its runs use laid out together (bench/order-functions.sh).
bench-peer: deps
	./scripts/install-bench-peer.sh
	cmake -S . -B $(PEER_BUILD) -DCMAKE_BUILD_TYPE=Release -DCPS_BUILD_TESTS=OFF -DCPS_PROFILE=generate \
	  -DCPS_SYMBOL_ORDER=
	cmake --build $(PEER_BUILD) -j$(JOBS) --target cpsctl
	rm -rf $(PEER_BUILD)/profile
	bench/profile-train.sh $(PEER_BUILD)/tools/cpsctl/cpsctl
	cmake -S . -B $(PEER_BUILD) -DCPS_PROFILE=use
	cmake --build $(PEER_BUILD) -j$(JOBS) --target cpsctl
	bench/order-functions.sh $(PEER_BUILD)/tools/cpsctl/cpsctl $(PEER_BUILD)/cpsctl.order
	cmake -S . -B $(PEER_BUILD) -DCPS_SYMBOL_ORDER=$(abspath $(PEER_BUILD))/cpsctl.order
	cmake --build $(PEER_BUILD) -j$(JOBS) --target cpsctl
	bench/peer.sh $(PEER_BUILD)/tools/cpsctl/cpsctl

# The Windows build, cross-compiled with mingw-w64: cpservices.dll with its type library, and
# the programs that test it under Wine (compared with the native build's probes, hence `build`).
$(WIN_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DCPS_NATIVE_BUILD_DIR=$(abspath $(BUILD))

windows: deps build $(WIN_BUILD)/CMakeCache.txt
	cmake --build $(WIN_BUILD) -j$(JOBS)

# Every test, once in the normal build and once under AddressSanitizer + UBSan, then the Windows
# build's tests under Wine; the fuzz targets must build too.
test: build build-asan fuzz windows
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)
	ctest --test-dir $(WIN_BUILD) --output-on-failure -j$(JOBS)

demo: build
	$(BUILD)/tools/cpsctl/cpsctl demo

install: build
	cmake --install $(BUILD)

clean:
	-[ -d $(WIN_BUILD)/wine-prefix ] && WINEPREFIX=$(abspath $(WIN_BUILD))/wine-prefix wineserver -k
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(PEER_BUILD) $(WIN_BUILD)
