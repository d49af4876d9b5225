# The two commands a newcomer needs: `make demo` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
CTEST_FLAGS ?= --output-on-failure --parallel 2

.PHONY: all deps build test demo bench fuzz package clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest $(CTEST_FLAGS)

demo: build
	scripts/run-demo $(BUILD)

# The Debian package (CPack), in $(BUILD)/.
package: build
	cmake --build $(BUILD) --target package

bench: build
	cmake --build $(BUILD) --target benchmarks
	scripts/run-bench $(BUILD)

# The protocol's fuzzer in a clang build of its own (every library
# instrumented), run for a bounded time; what it finds lands in $(FUZZ_BUILD)/.
FUZZ_BUILD ?= build-fuzz
FUZZ_TIME ?= 60
FUZZ_FLAGS ?= -max_total_time=$(FUZZ_TIME) -max_len=4096 -timeout=10

fuzz:
	@scripts/install-deps fuzz
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address" -DKELVO_FUZZ=ON
	cmake --build $(FUZZ_BUILD) --target kelvo_protocol_fuzzer
	mkdir -p $(FUZZ_BUILD)/corpus
	LSAN_OPTIONS=suppressions=fuzz/lsan.supp $(FUZZ_BUILD)/fuzz/kelvo_protocol_fuzzer $(FUZZ_FLAGS) -dict=fuzz/protocol.dict \
	  -artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus fuzz/corpus

clean:
	rm -rf $(BUILD)
