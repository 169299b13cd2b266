# The Debian package: `cpack --preset package` after the package build
# (scripts/quor.sh package). It holds what `cmake --install` puts under /usr:
# the program, its three modules, the menu entry, the icons, the AppStream
# metadata, the manual page and the example's elevation model. The libraries
# it needs are read off the program and the modules by dpkg-shlibdeps, so
# PROJ and GDAL come in through the modules that load them; the packages no
# binary links are named here.

set(QUOR_METAINFO_ID org.example.quor)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${QUOR_METAINFO_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The manual page and the package's history, compressed as Debian wants them:
# without a time stamp in the gzip header, so that two builds give the same
# bytes.
configure_file(${CMAKE_CURRENT_LIST_DIR}/quor.1.in ${CMAKE_BINARY_DIR}/quor.1 @ONLY)
set(quor_manual ${CMAKE_BINARY_DIR}/quor.1.gz)
set(quor_changelog ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${quor_manual}
                   COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/quor.1 > ${quor_manual}
                   DEPENDS ${CMAKE_BINARY_DIR}/quor.1 VERBATIM)
add_custom_command(OUTPUT ${quor_changelog}
                   COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog.Debian > ${quor_changelog}
                   DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog.Debian VERBATIM)
add_custom_target(quor_package_docs ALL DEPENDS ${quor_manual} ${quor_changelog})
install(FILES ${quor_manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${quor_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quor)
set(CPACK_PACKAGE_VENDOR "Quor")
set(CPACK_PACKAGE_CONTACT "Quor <quor@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "route-sheet editor for planning hikes from paper maps")
# One Description field holds both languages: English first, as Debian's
# tools expect, then the French a walker reads in the program.
# CPack puts the summary above it as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Quor (in French) keeps a catalogue of itineraries and works out the time of
day at every stage from distances, altitudes and a table of speeds. It prints
route sheets, calibrates scanned maps against three UTM points, lets you
click routes onto the map, exchanges them with GPS receivers and phones as
GPX files, prints the route's area at the map's scale and the elevation
profile, reads elevation models and exports the map as GeoTIFF, MBTiles or
KMZ.
.
Éditeur de feuilles de route pour préparer randonnées et sorties sur carte
papier : catalogue d'itinéraires, calcul des horaires de chaque étape,
impression des feuilles de route, cartes scannées calées sur trois points
UTM, routes GPS et fichiers GPX, impression de la zone à l'échelle de la
carte et profil en altitude.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# PROJ's database and grids are data no binary links; the French texts of
# Qt's own dialogs ("Annuler", the file dialogs) likewise.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "proj-data, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gpsbabel")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
