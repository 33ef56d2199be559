# Brisel: the two everyday commands, and the benchmarks.
#   make run    build Brisel and open it on a copy of the sample picture
#   make test   build everything and run the whole test suite: plain, the Debian package in a clean Debian 12
#               root, then with sanitizers, then built with GCC 14 and Qt 6.8 with GIMP 3 in a Debian 13 root
#               (scripts/debian13)
#   Both first install the Debian packages that are missing (scripts/install-deps).
#   make bench  build and run the benchmarks
#   make install [PREFIX=/usr/local] [DESTDIR=]   install Brisel: program, desktop entry, icon, metainfo, manual
#   make uninstall [PREFIX=/usr/local] [DESTDIR=] remove what `make install` installed there
#   make package                                  the Debian packages, in build/packages/
#   make install-gimp-plugin   build Brisel as a plug-in for the GIMP installed (3 or 2.10), install it for this user

BUILD        ?= build
BUILD_ASAN   ?= build-asan
BUILD_BENCH  ?= build-bench
BUILD_DEBIAN13 ?= build-debian13
JOBS         ?= $(shell nproc)
CMAKE_FLAGS  ?=
PREFIX       ?= /usr/local
DESTDIR      ?=

# GIMP looks for plug-ins in its profile (GIMP3_DIRECTORY or GIMP2_DIRECTORY when set), one folder each.
GIMP2_DIRECTORY ?= $(HOME)/.config/GIMP/2.10
GIMP3_DIRECTORY ?= $(HOME)/.config/GIMP/3.0

.PHONY: all deps build run test test-plain test-package test-sanitize test-debian13 bench install uninstall \
        package install-gimp-plugin clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The Debian packages that building and testing need, installed when one is missing (some milliseconds
# when all are there). Ordered before the build, also when make runs with -j.
deps:
	@scripts/install-deps --quiet

run: deps
	@$(MAKE) --no-print-directory build
	@mkdir -p $(BUILD)/run
	cp -f samples/sample.png $(BUILD)/run/sample.png
	$(BUILD)/brisel --wallpaper samples/wallpaper.png $(BUILD)/run/sample.png

test: deps
	@$(MAKE) --no-print-directory test-plain test-package test-sanitize test-debian13

test-plain: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DBRISEL_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The plain suite again in Debian 13 (GCC 14, Qt 6.8), with GIMP 3's suites; the root is made once and
# cached. Built without debugging information, which the suite does not need, to save time. Then Debian 13's
# packages, made there, in a clean Debian 13 root (as test-package does for Debian 12).
test-debian13:
	scripts/debian13 run $(BUILD_DEBIAN13) make --no-print-directory BUILD=/build/build \
	  CMAKE_FLAGS="-DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)" test-plain package
	tests/packaging/clean_install.sh trixie $(BUILD_DEBIAN13)/build/packages

# The Debian packages, installed in a throw-away layer over a clean Debian 12 root (scripts/debian-clean),
# as a user of a fresh machine would: apt must find everything they need.
test-package: package
	tests/packaging/clean_install.sh bookworm $(BUILD)/packages

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	@# Open With in file managers reads the MIME cache; the icon theme's cache is refreshed where there is one.
	@if [ -z "$(DESTDIR)" ]; then \
	  command -v update-desktop-database >/dev/null && update-desktop-database -q "$(PREFIX)/share/applications"; \
	  [ ! -e "$(PREFIX)/share/icons/hicolor/icon-theme.cache" ] || gtk-update-icon-cache -q -t "$(PREFIX)/share/icons/hicolor"; \
	fi; true

# Removes the files that the last `make install` listed in its manifest (give the same DESTDIR). Folders
# stay: /usr/local/bin and the like may have been there, empty, before.
uninstall:
	@[ -f $(BUILD)/install_manifest.txt ] || { echo "uninstall: nothing installed from $(BUILD) (no install_manifest.txt)"; exit 1; }
	sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt | xargs -d '\n' rm -fv
	rm -f $(BUILD)/install_manifest.txt
	@if [ -z "$(DESTDIR)" ] && command -v update-desktop-database >/dev/null; then \
	  update-desktop-database -q "$(PREFIX)/share/applications" 2>/dev/null; fi; true

package: build
	rm -f $(BUILD)/packages/*.deb
	cd $(BUILD) && cpack -G DEB

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
