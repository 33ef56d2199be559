# Brisel: the two everyday commands, and the benchmarks.
#   make run    install what building and running Brisel needs where it is missing, build the program (and
#               only it), open it on a copy of the sample picture
#   make test   install everything the tests need, build everything and run the whole test suite: plain, the
#               Debian package in a clean root of this machine's Debian, with sanitizers, then the plain suite
#               and the packages again in a root of the other Debian (13 on a Debian 12 machine, 12 on a
#               Debian 13 one), so that both GIMPs are always tested. A normal user is asked for the sudo
#               password once, up front.
#   make bench  build and run the benchmarks
#   make fuzz [FUZZ_SECONDS=600]   fuzz what Brisel parses itself (clang, libFuzzer, with sanitizers) for that
#               long (0: until stopped), in build-fuzz/; `make test` does it for a minute
#   make install [PREFIX=/usr/local] [DESTDIR=]   install Brisel: program, desktop entry, icon, metainfo, manual
#   make uninstall [PREFIX=/usr/local] [DESTDIR=] remove what `make install` installed there
#   make package                                  the Debian packages, in build/packages/
#   make install-gimp-plugin   build Brisel as a plug-in for the GIMP installed (3 or 2.10), install it for this user
#   make install-krita-plugin  build Brisel and install its Krita plug-in for this user, enabled where Krita is not running
#   make clean-roots           remove the Debian roots the tests made (in /var/cache/brisel: about 4 GiB)

BUILD        ?= build
BUILD_ASAN   ?= build-asan
BUILD_BENCH  ?= build-bench
BUILD_FUZZ   ?= build-fuzz
FUZZ_SECONDS ?= 600
JOBS         ?= $(shell nproc)
CMAKE_FLAGS  ?=
PREFIX       ?= /usr/local
DESTDIR      ?=

# GIMP looks for plug-ins in its profile (GIMP3_DIRECTORY or GIMP2_DIRECTORY when set), one folder each.
GIMP2_DIRECTORY ?= $(HOME)/.config/GIMP/2.10
GIMP3_DIRECTORY ?= $(HOME)/.config/GIMP/3.0

# The Debian this machine runs, and the other one, whose root the tests also build and test in: Debian 12
# (bookworm) on Debian 13 (trixie), Debian 13 anywhere else.
HOST_SUITE  := $(shell . /etc/os-release 2>/dev/null && echo "$$VERSION_CODENAME")
OTHER_SUITE := $(if $(filter trixie,$(HOST_SUITE)),bookworm,trixie)
OTHER       := $(if $(filter trixie,$(OTHER_SUITE)),debian13,debian12)
BUILD_OTHER ?= build-$(OTHER)

# Where the roots live. Steps that make or change them run through sudo for a normal user.
export BRISEL_ROOTS ?= /var/cache/brisel
SUDO := $(if $(filter 0,$(shell id -u)),,sudo env BRISEL_ROOTS="$(BRISEL_ROOTS)" $(if $(BRISEL_DEBIAN_MIRROR),BRISEL_DEBIAN_MIRROR="$(BRISEL_DEBIAN_MIRROR)"))

CONFIGURE = scripts/step $(1)/logs/configure.log "configuring $(1)/" cmake -S . -B $(1)
# A first configuration for a single target: without the tests, whose packages `make run` does not install.
CONFIGURE_ONCE = [ -f $(BUILD)/CMakeCache.txt ] || \
  $(call CONFIGURE,$(BUILD)) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRISEL_TESTS=OFF $(CMAKE_FLAGS)

.PHONY: all build run test test-all test-plain test-package test-sanitize test-fuzz test-other bench fuzz install uninstall \
        package install-gimp-plugin install-krita-plugin clean clean-roots

all: build

# Everything, the tests included (a folder that `make run` configured without them is configured again), and the
# benchmarks, built but not run, so that a change that breaks them shows (BENCH_IN_BUILD=OFF leaves them out).
BENCH_IN_BUILD ?= ON
build:
	@grep -qs '^BRISEL_TESTS:BOOL=ON' $(BUILD)/CMakeCache.txt && \
	  grep -qs '^BRISEL_BENCH:BOOL=$(BENCH_IN_BUILD)' $(BUILD)/CMakeCache.txt || \
	  $(call CONFIGURE,$(BUILD)) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRISEL_TESTS=ON \
	    -DBRISEL_BENCH=$(BENCH_IN_BUILD) $(CMAKE_FLAGS)
	@scripts/step $(BUILD)/logs/build.log "building everything in $(BUILD)/" cmake --build $(BUILD) -j $(JOBS)

# The program alone: no tests, benchmarks or plug-in to build first.
run:
	@scripts/install-deps --quiet run
	@$(CONFIGURE_ONCE)
	@scripts/step $(BUILD)/logs/build-brisel.log "building brisel in $(BUILD)/" cmake --build $(BUILD) -j $(JOBS) --target brisel
	@mkdir -p $(BUILD)/run
	@cp -f samples/sample.png $(BUILD)/run/sample.png
	@echo "opening $(BUILD)/run/sample.png"
	$(BUILD)/brisel --wallpaper samples/wallpaper.png $(BUILD)/run/sample.png

test:
	@scripts/with-sudo "make test installs packages and makes Debian roots in $(BRISEL_ROOTS), which needs root rights" \
	  $(MAKE) --no-print-directory test-all

test-all:
	@scripts/install-deps --quiet all
	@$(MAKE) --no-print-directory test-plain test-package test-sanitize test-fuzz test-other

test-plain: build
	@QT_QPA_PLATFORM=offscreen scripts/run-tests $(BUILD) $(JOBS)

test-sanitize:
	@$(call CONFIGURE,$(BUILD_ASAN)) -DCMAKE_BUILD_TYPE=Debug -DBRISEL_SANITIZE=ON -DBRISEL_TESTS=ON $(CMAKE_FLAGS)
	@scripts/step $(BUILD_ASAN)/logs/build.log "building with sanitizers in $(BUILD_ASAN)/" cmake --build $(BUILD_ASAN) -j $(JOBS)
	@QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  scripts/run-tests $(BUILD_ASAN) $(JOBS)

# A minute of fuzzing, on this machine only (not in the other Debian's root).
test-fuzz:
	@scripts/fuzz $(BUILD_FUZZ) 60 $(JOBS)

# The plain suite in the other Debian, with its GCC, Qt, GIMP and Google Benchmark (the benchmarks are built
# there too: the two Debians' Google Benchmarks differ); the root is made once and kept. Built without
# debugging information, which the suite does not need, to save time. Then that Debian's packages, made there,
# in a clean root of it (as test-package does for this machine's).
test-other:
	@$(SUDO) scripts/debian-root $(OTHER_SUITE) prepare
	@echo "the plain suite and the packages in the $(OTHER) root, in $(BUILD_OTHER)/"
	@scripts/debian-root $(OTHER_SUITE) run $(BUILD_OTHER) make --no-print-directory BUILD=/build/build \
	  CMAKE_FLAGS="-DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)" test-plain package
	@$(SUDO) tests/packaging/clean_install.sh $(OTHER_SUITE) $(BUILD_OTHER)/build/packages

# The Debian packages, installed in a throw-away layer over a clean root of this machine's Debian
# (scripts/debian-clean), as a user of a fresh machine would: apt must find everything they need.
test-package: package
	@case "$(HOST_SUITE)" in \
	  bookworm | trixie) $(SUDO) tests/packaging/clean_install.sh $(HOST_SUITE) $(BUILD)/packages ;; \
	  *) echo "test-package: skipped: this machine runs neither Debian 12 nor Debian 13" ;; \
	esac

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
	@rm -f $(BUILD)/packages/*.deb
	@scripts/step $(BUILD)/logs/package.log "making the Debian packages in $(BUILD)/packages/" sh -c 'cd $(BUILD) && cpack -G DEB'

bench:
	@scripts/install-deps --quiet all
	cmake -S . -B $(BUILD_BENCH) -DCMAKE_BUILD_TYPE=Release -DBRISEL_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD_BENCH) -j $(JOBS) --target brisel_bench brisel_screen_latency
	$(BUILD_BENCH)/bench/brisel_bench
	$(BUILD_BENCH)/bench/screen/brisel_screen_latency

fuzz:
	@scripts/install-deps --quiet all
	@scripts/fuzz $(BUILD_FUZZ) $(FUZZ_SECONDS) $(JOBS)

install-gimp-plugin:
	@pkg-config --exists gimp-3.0 || pkg-config --exists gimp-2.0 || \
	  { echo "libgimp (3.0 or 2.0) is missing: run scripts/install-deps first"; exit 1; }
	@$(CONFIGURE_ONCE)
	cmake $(BUILD) > /dev/null
	cmake --build $(BUILD) -j $(JOBS) --target brisel_gimp_plugin
	@major=$$(cat $(BUILD)/gimp-plug-in/gimp-major); \
	if [ "$$major" -ge 3 ]; then dir="$(GIMP3_DIRECTORY)/plug-ins/brisel"; else dir="$(GIMP2_DIRECTORY)/plug-ins/brisel"; fi; \
	install -D -m 755 $(BUILD)/gimp-plug-in/brisel/brisel "$$dir/brisel" && \
	echo "Installed $$dir/brisel for GIMP $$major: restart GIMP, open a picture and choose Filters > Brisel..."

# The plug-in starts the brisel built here (its path is written beside the plug-in): build it again after a pull.
install-krita-plugin:
	@scripts/install-deps --quiet run
	@$(CONFIGURE_ONCE)
	@scripts/step $(BUILD)/logs/build-brisel.log "building brisel in $(BUILD)/" cmake --build $(BUILD) -j $(JOBS) --target brisel
	@host/krita/install_plugin.sh "$(abspath $(BUILD))/brisel"

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_BENCH) $(BUILD_FUZZ) build-debian12 build-debian13

# The roots hold nothing of yours: the next `make test` makes them again (some minutes).
clean-roots:
	$(SUDO) rm -rf "$(BRISEL_ROOTS)"

