# Thin wrapper around CMake. `make` builds build/kelmstrad; `make EXE=path` also copies it there.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: all build run test test-slow clean

all: build
ifdef EXE
	cp $(BUILD)/kelmstrad $(EXE)
endif

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/kelmstrad

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE slow

# The deep perft counts: a few minutes in the Release build.
test-slow: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L slow

clean:
	rm -rf $(BUILD)
