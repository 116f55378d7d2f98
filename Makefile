# Quick start: `make play` or `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build play test assets clean

all: build

deps:
	@bash scripts/install-deps

$(BUILD)/Makefile: CMakeLists.txt
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS)

play: build
	cd $(BUILD) && ./chainball

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

assets:
	@bash scripts/install-deps
	/usr/bin/python3 tools/make_assets.py

clean:
	rm -rf $(BUILD)
