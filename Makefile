# SPDX-License-Identifier: GPL-3.0-or-later
# Quick start: `make play` or `make test`. Both install what is missing first:
# make play only what the game needs, make test everything.
BUILD ?= build
PACKAGE_BUILD ?= build-package
FUZZ_BUILD ?= build-fuzz
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: web web-game web-check determinism-check track-laps all deps game-deps game play-build build fuzz-build play test net-soak fuzz bench bench-window assets docs clean install uninstall package package-check screenshots

all: build

deps:
	@bash scripts/install-deps

game-deps:
	@bash scripts/install-deps --game

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCHAINBALL_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)

# The three programs, their data and installed files alone: no test suite,
# no benchmark. A new build folder is made without the tests (their
# packages may be missing); one that has them keeps them.
CONFIGURE_GAME = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(if $(wildcard $(BUILD)/CMakeCache.txt),,-DCHAINBALL_TESTS=OFF)
game: game-deps
	$(CONFIGURE_GAME)
	cmake --build $(BUILD) -j $(JOBS) --target chainball chainball-sim chainball-track data_folder dist_files

# Just what a game needs: the game and its data folder.
play-build: game-deps
	$(CONFIGURE_GAME)
	cmake --build $(BUILD) -j $(JOBS) --target chainball data_folder

# The libFuzzer targets need clang, so they get a build folder of their own.
fuzz-build: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCHAINBALL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

play: play-build
	cd $(BUILD) && ./chainball

# Everything but the two package builds, which package-check runs; the fuzz
# targets over their seeds only (make fuzz runs the fuzzer).
test: build web
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE package || { bash $(CURDIR)/tests/show-failures.sh . ; exit 1; }

# chainball-sim for node in build-web/, with Debian's emscripten (about a
# minute; make test builds it too); web-check runs the golden runs and
# replays through it and the native build, byte for byte (ctest web_sim).
# See docs/determinism.md.
WEB_BUILD = build-web
web:
	@bash scripts/install-deps --web
	bash web/build-sim.sh $(CURDIR)/$(WEB_BUILD)

# The game for a web page in build-web/game/ (a few minutes the first
# time); serve that folder and open index.html (index.html?extras for the
# full game). Not part of make test yet.
web-game:
	@bash scripts/install-deps --web
	nice bash web/build-game.sh $(CURDIR)/$(WEB_BUILD)

web-check: build web
	bash tests/web_sim.sh $(BUILD) $(WEB_BUILD)

# What the race keeps from the C library's atan, atan2 and hypotf is the
# same with any library within one unit, over every input the race can give
# (about 90 s), and the sine table against correct rounding. See
# docs/determinism.md.
determinism-check: deps
	mkdir -p $(BUILD)
	c++ -O2 -std=c++17 -ffp-contract=off -fno-fast-math -Isrc tools/check_libm.cpp src/base/arith.cpp src/base/trig.cpp src/base/trig_table.cpp -o $(BUILD)/check_libm
	$(BUILD)/check_libm
	/usr/bin/python3 tools/make_trig_table.py --check

# Ten online races at 50 +- 10 ms and 25 % loss through the tests' relay
# (about 4 min): every one finishes with the same replay on both machines.
net-soak: build
	/usr/bin/python3 tests/net_hosting.py $(BUILD) --soak 10

# Longer runs: each fuzz target for five minutes, the monkey for 200 000 frames.
fuzz: build fuzz-build
	bash tests/fuzz/run.sh $(FUZZ_BUILD) catalogue 300
	bash tests/fuzz/run.sh $(FUZZ_BUILD) level_race 300
	bash tests/fuzz/run.sh $(FUZZ_BUILD) replay 300
	bash tests/fuzz/run.sh $(FUZZ_BUILD) net_messages 300
	bash tests/fuzz/run.sh $(FUZZ_BUILD) config 300
	bash tests/fuzz/run.sh $(FUZZ_BUILD) records 300
	bash tests/fuzz/run.sh $(FUZZ_BUILD) cups 300
	cd $(BUILD) && CHAINBALL_MONKEY_FRAMES=200000 ./chainball_tests_san --gtest_filter='Monkey*'

# Frame costs, headless, then the game in a real window under Xvfb; figures
# and targets in BENCHMARKS.md.
bench: build
	cd $(BUILD) && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ./chainball_bench
	bash bench/window_screens.sh $(BUILD)
	bash bench/real_window.sh $(BUILD)

# Every screen at scales 1 to 3 in a real window beside a minimal SDL
# program, quiet and with one core kept busy.
bench-window: build
	bash bench/window_screens.sh $(BUILD)

# Installs under PREFIX (default /usr/local), honouring DESTDIR; uninstall
# removes what the install of the same DESTDIR and PREFIX wrote, and the
# folders it made. See docs/packaging.md.
PREFIX ?= /usr/local
# A relative PREFIX is refused before anything is built.
install:
	@bash scripts/install-tree check-prefix "$(PREFIX)"
	@$(MAKE) --no-print-directory game
	bash scripts/install-tree install $(BUILD) "$(PREFIX)"

uninstall:
	bash scripts/install-tree uninstall $(BUILD) "$(PREFIX)"

# The Debian package, built in a folder of its own with the distribution's
# build flags, the same bytes for the same commit; package-check builds it
# twice in two folders and compares, then adds its file list,
# hardening-check and lintian.
package: deps
	bash scripts/package-check.sh --build-only $(PACKAGE_BUILD)

package-check: build
	cd $(BUILD) && ctest --output-on-failure -L package

# The README's and the metainfo's screenshots, taken under Xvfb.
screenshots: build
	bash tools/screenshots.sh $(BUILD)

assets: deps
	/usr/bin/python3 tools/make_assets.py

# The pictures and outputs of docs/tracks.md, from chainball-track itself;
# docs/globals.md from the build's object files and tools/globals_reasons.txt;
# the picture of docs/architecture.md; the Time column of tests/README.md
# from the last test run in the build folder.
docs: build
	/usr/bin/python3 tools/make_track_docs.py $(BUILD)
	/usr/bin/python3 tools/globals.py $(BUILD) --markdown docs/globals.md
	/usr/bin/python3 tools/architecture_picture.py docs/pictures/architecture.png
	/usr/bin/python3 tools/test_times.py $(BUILD) tests/README.md

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD)

# A lap of every shipped track driven in a real window.
track-laps: build
	bash tests/window/track_laps.sh $(BUILD) all
