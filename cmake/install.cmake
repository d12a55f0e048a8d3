# cmake --install: the programs side by side in bin/, their help pages and the
# demo installation in share/morvenda/ (its morvenda-demo command in bin/), a
# desktop entry for each program an operator starts, the icon and the README.
# The help folder is found from the programs' own folder
# (bin/../share/morvenda), so any prefix works.
#
# Two components, so a test can install the data alone: "programs" and "data".

install(TARGETS Morvenda MRVEmail MRVDummy MRVChap MRVGenie MRVConfg MRVKeep
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)

install(DIRECTORY ${PROJECT_BINARY_DIR}/bin/help
  DESTINATION ${MRV_DATA_DIR} COMPONENT data)
install(FILES ${MRV_CONFG_HELP_PAGES}
  DESTINATION ${MRV_DATA_DIR} COMPONENT data)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/demo
  DESTINATION ${MRV_DATA_DIR} COMPONENT data)
# The installed demo holds @BASE@ in place of its folder: morvenda-demo copies
# it to a folder of the user's and fills in that folder and the programs.
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/morvenda-demo
  DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT data)

file(GLOB _desktop_entries ${PROJECT_SOURCE_DIR}/packaging/*.desktop)
install(FILES ${_desktop_entries}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT data)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/morvenda.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT data)
install(FILES ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/morvenda COMPONENT data)

# cpack -G DEB in the build folder: morvenda_<version>_<arch>.deb, installing
# under /usr. Its dependencies come from the programs' shared libraries, plus
# the tools the programs start: xdg-open opens documents and help pages.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvenda)
set(CPACK_PACKAGE_VENDOR "Morvenda")
set(CPACK_PACKAGE_CONTACT "Morvenda developers <morvenda@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Job scheduler for the desktop, with its companion programs")
set(CPACK_PACKAGE_DESCRIPTION
  "Morvenda runs a day's schedule of jobs with dependencies, exclusivity and CPU limits, and comes with an e-mailer for end-of-job messages, a dummy job program, a keystroke chaperone, a setup genie and a configuration editor.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
include(CPack)
