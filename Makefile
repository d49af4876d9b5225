# The two commands a newcomer needs: `make demo` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
CTEST_FLAGS ?= --output-on-failure --parallel 2

.PHONY: all deps build test demo bench clean

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

bench: build
	cmake --build $(BUILD) --target benchmarks
	scripts/run-bench $(BUILD)

clean:
	rm -rf $(BUILD)
