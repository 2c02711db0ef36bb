# `make package`: a Debian package of the two programs, their documentation and the examples,
# its dependencies read off the shared libraries the programs link (dpkg-shlibdeps).
include(GNUInstallDirs)
# The package is named velkor, the project Velkor: the documentation goes where Debian looks.
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/velkor)

install(TARGETS velkor velkor-device RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md DESTINATION ${doc_dir})
install(DIRECTORY docs/ DESTINATION ${doc_dir}/docs)
install(DIRECTORY examples/ DESTINATION ${doc_dir}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velkor developers <velkor@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "device image updater for embedded devices")
set(CPACK_PACKAGE_DESCRIPTION
    "Velkor writes new system images into an embedded device's flash, formats its data volume and\n"
    "restarts it, worked full screen by touch or by the device's keys. velkor-device makes and\n"
    "inspects simulated devices, lays out update cards and checks the target files of real ones.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The final message is Chinese whatever the interface language: without a font that has its
# glyphs the operator sees empty boxes. dpkg-shlibdeps adds the libraries to this list.
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-droid-fallback)
# A real device's data volume is formatted with mkfs.fat.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS dosfstools)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
