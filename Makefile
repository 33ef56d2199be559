# Brisel: the two everyday commands, and the benchmarks.
#   make run    build Brisel and open it on a copy of the sample picture
#   make test   build everything and run the whole test suite: plain, then with sanitizers, then built
#               with GCC 14 and Qt 6.8 with GIMP 3 in a Debian 13 root (scripts/debian13)
#   make bench  build and run the benchmarks
#   make install-gimp-plugin   build Brisel as a plug-in for the GIMP installed (3 or 2.10), install it for this user

BUILD        ?= build
BUILD_ASAN   ?= build-asan
BUILD_BENCH  ?= build-bench
BUILD_DEBIAN13 ?= build-debian13
JOBS         ?= $(shell nproc)
CMAKE_FLAGS  ?=

# GIMP looks for plug-ins in its profile (GIMP3_DIRECTORY or GIMP2_DIRECTORY when set), one folder each.
GIMP2_DIRECTORY ?= $(HOME)/.config/GIMP/2.10
GIMP3_DIRECTORY ?= $(HOME)/.config/GIMP/3.0

.PHONY: all deps build run test test-plain test-sanitize test-debian13 bench install-gimp-plugin clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@mkdir -p $(BUILD)/run
	cp -f samples/sample.png $(BUILD)/run/sample.png
	$(BUILD)/brisel --wallpaper samples/wallpaper.png $(BUILD)/run/sample.png

test: test-plain test-sanitize test-debian13

test-plain: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DBRISEL_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The plain suite again in Debian 13 (GCC 14, Qt 6.8), with GIMP 3's suites; the root is made once and
# cached. Built without debugging information, which the suite does not need, to save time.
test-debian13:
	scripts/debian13 run $(BUILD_DEBIAN13) make --no-print-directory BUILD=/build/build \
	  CMAKE_FLAGS="-DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)" test-plain

bench:
	cmake -S . -B $(BUILD_BENCH) -DCMAKE_BUILD_TYPE=Release -DBRISEL_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD_BENCH) -j $(JOBS) --target brisel_bench
	$(BUILD_BENCH)/bench/brisel_bench

install-gimp-plugin: $(BUILD)/CMakeCache.txt
	@pkg-config --exists gimp-3.0 || pkg-config --exists gimp-2.0 || \
	  { echo "libgimp (3.0 or 2.0) is missing: run scripts/install-deps first"; exit 1; }
	cmake $(BUILD) > /dev/null
	cmake --build $(BUILD) -j $(JOBS) --target brisel_gimp_plugin
	@major=$$(cat $(BUILD)/gimp-plug-in/gimp-major); \
	if [ "$$major" -ge 3 ]; then dir="$(GIMP3_DIRECTORY)/plug-ins/brisel"; else dir="$(GIMP2_DIRECTORY)/plug-ins/brisel"; fi; \
	install -D -m 755 $(BUILD)/gimp-plug-in/brisel/brisel "$$dir/brisel" && \
	echo "Installed $$dir/brisel for GIMP $$major: restart GIMP, open a picture and choose Filters > Brisel..."

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_BENCH) $(BUILD_DEBIAN13)
