# Installation beyond the two programs, and the Debian package built from it
# (scripts/package.sh runs cpack): manual pages, the AppStream metainfo, the
# copyright notice and the changelog. Dependencies come from dpkg-shlibdeps.
set(package_name tolvane)
set(package_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${package_name})

# Debian keeps manual pages and changelogs compressed with gzip -9, without
# a time stamp (-n) so every build gives the same bytes.
set(gzipped_files)
foreach(source IN ITEMS docs/man/TolvaneApp.1 docs/man/tolvane-sim.1 docs/man/tolvane-label.1
                       packaging/changelog)
  get_filename_component(name ${source} NAME)
  set(gzipped ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(
    OUTPUT ${gzipped}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/${source} > ${gzipped}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source}
    VERBATIM)
  list(APPEND gzipped_files ${gzipped})
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${gzipped_files})

install(FILES ${CMAKE_BINARY_DIR}/packaging/TolvaneApp.1.gz
              ${CMAKE_BINARY_DIR}/packaging/tolvane-sim.1.gz
              ${CMAKE_BINARY_DIR}/packaging/tolvane-label.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/resources/org.tolvane.TolvaneApp.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${package_doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${package_name})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tolvane panel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for a component counting machine")
set(CPACK_PACKAGE_DESCRIPTION
    "TolvaneApp is a desktop control panel for a machine that counts electronic
components on carrier tape. Over a serial port or UDP it presses the machine's
keys, sets its clock, counting function, tape pitch, speed steps and preset
count, loads its label template and Wi-Fi credentials, mirrors its settings
and count, and appends every counting record to a CSV or XML record file.

The package also holds tolvane-sim, which plays the machine so that the panel
can be tried without one, and tolvane-label, which checks a label template
and draws the label it prints.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tolvane panel developers <panel@tolvane.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The label's texts are drawn with this font; the shared libraries are found
# by dpkg-shlibdeps and added to it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # tolvane_<version>_<arch>.deb
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
