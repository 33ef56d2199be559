# Installing Brisel (`make install`, `make uninstall`) and its Debian packages (`make package`).
#
# Three components: `brisel` (the program, its desktop entry, icon, AppStream metainfo and manual page),
# `gimp_plugin` (the plug-in, in the system plug-in folder of the GIMP found at build time) and `krita_plugin`
# (the Python plug-in, in Krita's system folder, share/krita/pykrita). `make install` installs the first only,
# under PREFIX; each becomes a .deb of its own, installed under /usr.

include(GNUInstallDirs)

set(BRISEL_APP_ID org.brisel.Brisel)  # the desktop entry's name, the icon's and the metainfo's id
set(BRISEL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(BRISEL_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)

target_compile_definitions(brisel PRIVATE BRISEL_APP_ID="${BRISEL_APP_ID}")

configure_file(${BRISEL_PACKAGING_DIR}/brisel.1.in ${BRISEL_PACKAGING_OUT}/brisel.1 @ONLY)
configure_file(${BRISEL_PACKAGING_DIR}/${BRISEL_APP_ID}.metainfo.xml.in
               ${BRISEL_PACKAGING_OUT}/${BRISEL_APP_ID}.metainfo.xml @ONLY)

# The 256 x 256 icon is drawn from the scalable one at build time, so the two never differ. The program alone
# (`make run`) does not need it: without rsvg-convert, only building the icon fails, saying what is missing.
find_program(BRISEL_RSVG_CONVERT rsvg-convert)  # Debian: librsvg2-bin
if(BRISEL_RSVG_CONVERT)
  set(BRISEL_DRAW_ICON ${BRISEL_RSVG_CONVERT} --width 256 --height 256
                       --output ${BRISEL_PACKAGING_OUT}/${BRISEL_APP_ID}.png ${BRISEL_PACKAGING_DIR}/${BRISEL_APP_ID}.svg)
else()
  set(BRISEL_DRAW_ICON sh -c "echo 'rsvg-convert is missing (Debian: librsvg2-bin): run scripts/install-deps' >&2; exit 1")
endif()
add_custom_command(
  OUTPUT ${BRISEL_PACKAGING_OUT}/${BRISEL_APP_ID}.png
  COMMAND ${BRISEL_DRAW_ICON}
  DEPENDS ${BRISEL_PACKAGING_DIR}/${BRISEL_APP_ID}.svg
  COMMENT "Drawing the 256 x 256 icon")
add_custom_target(brisel_icon ALL DEPENDS ${BRISEL_PACKAGING_OUT}/${BRISEL_APP_ID}.png)

install(TARGETS brisel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT brisel)
install(FILES ${BRISEL_PACKAGING_DIR}/${BRISEL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT brisel)
install(FILES ${BRISEL_PACKAGING_DIR}/${BRISEL_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT brisel)
install(FILES ${BRISEL_PACKAGING_OUT}/${BRISEL_APP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps COMPONENT brisel)
install(FILES ${BRISEL_PACKAGING_OUT}/${BRISEL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT brisel)
install(FILES ${BRISEL_PACKAGING_OUT}/brisel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT brisel)

# GIMP looks for system plug-ins in its library folder (Debian: /usr/lib/gimp/2.0 for GIMP 2.10,
# /usr/lib/x86_64-linux-gnu/gimp/3.0 for GIMP 3), taken relative to GIMP's prefix, which the package's is.
set(BRISEL_PACKAGE_COMPONENTS brisel)
if(TARGET brisel_gimp_plugin)
  pkg_get_variable(BRISEL_GIMP_LIBDIR gimp-${BRISEL_GIMP_MAJOR}.0 gimplibdir)
  pkg_get_variable(BRISEL_GIMP_PREFIX gimp-${BRISEL_GIMP_MAJOR}.0 prefix)
  file(RELATIVE_PATH BRISEL_GIMP_PLUGIN_DIR ${BRISEL_GIMP_PREFIX} ${BRISEL_GIMP_LIBDIR}/plug-ins/brisel)
  install(TARGETS brisel_gimp_plugin RUNTIME DESTINATION ${BRISEL_GIMP_PLUGIN_DIR} COMPONENT gimp_plugin
          EXCLUDE_FROM_ALL)
  list(APPEND BRISEL_PACKAGE_COMPONENTS gimp_plugin)
endif()

# Krita finds Python plug-ins in share/krita/pykrita of its data folders; the plug-in starts the brisel on the
# PATH. Krita lists it in its Python Plugin Manager, where each user enables it once.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/host/krita/plugin/brisel_krita
        DESTINATION ${CMAKE_INSTALL_DATADIR}/krita/pykrita COMPONENT krita_plugin EXCLUDE_FROM_ALL
        PATTERN __pycache__ EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/host/krita/plugin/brisel_krita.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/krita/pykrita COMPONENT krita_plugin EXCLUDE_FROM_ALL)
list(APPEND BRISEL_PACKAGE_COMPONENTS krita_plugin)

# The Debian packages, one a component, in ${PROJECT_BINARY_DIR}/packages: brisel_VERSION_ARCH.deb and
# brisel-gimp-plugin_VERSION_ARCH.deb. Their dependencies on shared libraries are read from the binaries
# (dpkg-shlibdeps); what Brisel loads only at run time is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brisel)
set(CPACK_PACKAGE_VENDOR "The Brisel developers")
set(CPACK_PACKAGE_CONTACT "The Brisel developers")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${BRISEL_PACKAGE_COMPONENTS})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_BRISEL_PACKAGE_NAME brisel)
# TIFF and WebP pictures, which the desktop entry offers to open, are read by Qt's extra image plug-ins.
set(CPACK_DEBIAN_BRISEL_PACKAGE_DEPENDS qt6-image-formats-plugins)
set(CPACK_DEBIAN_BRISEL_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_COMPONENT_BRISEL_DESCRIPTION
    "paint smooth, pressure-sensitive strokes on a picture\n\
Brisel is a small paint tool whose strokes are smoothed by Catmull-Rom splines. It opens a picture\n\
beside a narrow tool panel and paints smooth, pressure-sensitive strokes of anti-aliased round dabs,\n\
in eleven blend modes, with a paper texture, brush presets, zoom and pan, colour picking and an undo\n\
of its own. Closing the canvas writes the painting back into the picture, safely.")
if(TARGET brisel_gimp_plugin)
  math(EXPR BRISEL_GIMP_NEXT_MAJOR "${BRISEL_GIMP_MAJOR} + 1")
  string(REGEX MATCH "^[0-9]+\\.[0-9]+" BRISEL_GIMP_MAJOR_MINOR "${GIMP_VERSION}")
  set(CPACK_DEBIAN_GIMP_PLUGIN_PACKAGE_NAME brisel-gimp-plugin)
  # A plug-in built for one GIMP major version does not load in another.
  set(CPACK_DEBIAN_GIMP_PLUGIN_PACKAGE_DEPENDS
      "gimp (>= ${BRISEL_GIMP_MAJOR_MINOR}), gimp (<< ${BRISEL_GIMP_NEXT_MAJOR}~)")
  # GIMP 3 may run on Wayland, where the plug-in's windows need Qt's Wayland support.
  if(BRISEL_GIMP_MAJOR GREATER_EQUAL 3)
    string(APPEND CPACK_DEBIAN_GIMP_PLUGIN_PACKAGE_DEPENDS ", qt6-wayland")
  endif()
  set(CPACK_COMPONENT_GIMP_PLUGIN_DESCRIPTION
      "Brisel's smooth strokes as a GIMP ${BRISEL_GIMP_MAJOR} plug-in (Filters > Brisel...)\n\
Brisel paints smooth, pressure-sensitive strokes on the selected layer of a GIMP image, in a canvas\n\
window beside its tool panel; each send is one step in GIMP's undo history.")
endif()
set(CPACK_DEBIAN_KRITA_PLUGIN_PACKAGE_NAME brisel-krita-plugin)
set(CPACK_DEBIAN_KRITA_PLUGIN_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_KRITA_PLUGIN_PACKAGE_DEPENDS "brisel (= ${PROJECT_VERSION}), krita (>= 1:5.1), python3-pyqt5")
set(CPACK_COMPONENT_KRITA_PLUGIN_DESCRIPTION
    "Brisel's smooth strokes on a Krita layer (Tools > Scripts > Paint in Brisel...)\n\
Brisel paints smooth, pressure-sensitive strokes on the selected paint layer of a Krita document, in a\n\
canvas window beside its tool panel; each send is undoable in Krita. Enable Brisel once in Settings >\n\
Configure Krita > Python Plugin Manager.")
include(CPack)
