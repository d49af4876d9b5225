# The two commands a newcomer needs: `make demo` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Three tests at once on two cores: the tests wait on servers, timers and the
# browser for a good part of their time (the suite in 40 s rather than 45 s).
CTEST_FLAGS ?= --output-on-failure --parallel 3
# WERROR=ON (as CI has it) or OFF: compiler warnings as errors or not, set in
# the build folder by this make and kept there until set again.
WERROR ?=
CONFIGURE_FLAGS = $(if $(WERROR),-DKELVO_WERROR=$(WERROR))
CONFIGURE_WHEN = $(if $(WERROR),FORCE)

.PHONY: all deps build test test-asan test-tsan demo bench fuzz package clean FORCE

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: CMakeLists.txt $(CONFIGURE_WHEN) | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(CONFIGURE_FLAGS)

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

# The suite under sanitizers, each in a build folder of its own (CI runs
# both): AddressSanitizer with UndefinedBehaviorSanitizer over every test,
# ThreadSanitizer over the tests that serve clients on threads (the service,
# host and reliability folders: CTest label "threads", target threaded_tests).
# Optimised lightly, with line tables only: the stacks stay readable and the
# builds and runs short. Options and suppressions: tests/sanitizers/.
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
SANITIZER_CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"

$(ASAN_BUILD)/build.ninja: CMakeLists.txt $(CONFIGURE_WHEN) | deps
	cmake -S . -B $(ASAN_BUILD) $(SANITIZER_CMAKE_FLAGS) $(CONFIGURE_FLAGS) -DKELVO_SANITIZE=address,undefined

$(TSAN_BUILD)/build.ninja: CMakeLists.txt $(CONFIGURE_WHEN) | deps
	cmake -S . -B $(TSAN_BUILD) $(SANITIZER_CMAKE_FLAGS) $(CONFIGURE_FLAGS) -DKELVO_SANITIZE=thread

test-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD)
	tests/sanitizers/run-tests $(ASAN_BUILD) $(CTEST_FLAGS)

test-tsan: deps $(TSAN_BUILD)/build.ninja
	cmake --build $(TSAN_BUILD) --target threaded_tests
	tests/sanitizers/run-tests $(TSAN_BUILD) $(CTEST_FLAGS) -L threads

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)

FORCE:
