# Brisel: the two everyday commands, and the benchmarks.
#   make run    build Brisel and open it on a copy of the sample picture
#   make test   build everything and run the whole test suite (plain, then with sanitizers)
#   make bench  build and run the benchmarks
#   make install-gimp-plugin   build Brisel as a GIMP 2.10 plug-in and install it for this user

BUILD        ?= build
BUILD_ASAN   ?= build-asan
BUILD_BENCH  ?= build-bench
JOBS         ?= $(shell nproc)
CMAKE_FLAGS  ?=

# GIMP 2.10 looks for plug-ins in its profile (GIMP2_DIRECTORY when set), one folder each.
GIMP2_DIRECTORY ?= $(HOME)/.config/GIMP/2.10
GIMP_PLUGIN_DIR  = $(GIMP2_DIRECTORY)/plug-ins/brisel

.PHONY: all deps build run test test-plain test-sanitize bench install-gimp-plugin clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@mkdir -p $(BUILD)/run
	cp -f samples/sample.png $(BUILD)/run/sample.png
	$(BUILD)/brisel --wallpaper samples/wallpaper.png $(BUILD)/run/sample.png

test: test-plain test-sanitize

test-plain: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DBRISEL_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

bench:
	cmake -S . -B $(BUILD_BENCH) -DCMAKE_BUILD_TYPE=Release -DBRISEL_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD_BENCH) -j $(JOBS) --target brisel_bench
	$(BUILD_BENCH)/bench/brisel_bench

install-gimp-plugin: $(BUILD)/CMakeCache.txt
	@pkg-config --exists gimp-2.0 || { echo "libgimp 2.0 is missing: run scripts/install-deps first"; exit 1; }
	cmake $(BUILD) > /dev/null
	cmake --build $(BUILD) -j $(JOBS) --target brisel_gimp_plugin
	install -D -m 755 $(BUILD)/gimp-plug-in/brisel/brisel $(GIMP_PLUGIN_DIR)/brisel
	@echo "Installed $(GIMP_PLUGIN_DIR)/brisel: restart GIMP, open a picture and choose Filters > Brisel..."

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_BENCH)
