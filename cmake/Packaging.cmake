# `make package`: a Debian package of the two programs, their manual pages, the documentation and
# the examples, its dependencies read off the shared libraries the programs link (dpkg-shlibdeps).
# The target velkor_package_contents builds exactly what the package holds.
include(GNUInstallDirs)

# The package's maintainer, "Name <address>": git's identity in the source tree, else the last
# commit's author; -DVELKOR_MAINTAINER=... names another.
function(velkor_default_maintainer result)
    execute_process(COMMAND git config user.name WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE name OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND git config user.email WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE email OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    set(maintainer "${name} <${email}>")
    if(NOT name OR NOT email)
        execute_process(COMMAND git log -1 "--format=%an <%ae>" WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE maintainer OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    set(${result} "${maintainer}" PARENT_SCOPE)
endfunction()
if(NOT VELKOR_MAINTAINER)
    velkor_default_maintainer(maintainer)
    set(VELKOR_MAINTAINER "${maintainer}" CACHE STRING "The Debian package's maintainer: Name <address>" FORCE)
endif()
if(NOT VELKOR_MAINTAINER MATCHES "^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$")
    message(WARNING "VELKOR_MAINTAINER \"${VELKOR_MAINTAINER}\" is not \"Name <address>\": "
                    "give it with -DVELKOR_MAINTAINER=... before making the package")
endif()

# The package is named velkor, the project Velkor: the documentation goes where Debian looks.
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/velkor)
set(package_files ${PROJECT_BINARY_DIR}/packaging)

# The README without the parts marked as applying only beside the sources, whose build/ paths an
# installed system does not have.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
file(READ ${PROJECT_SOURCE_DIR}/README.md readme)
set(source_tree_start "<!-- source tree -->\n")
set(source_tree_end "<!-- /source tree -->\n")
string(FIND "${readme}" "${source_tree_start}" start)
while(start GREATER_EQUAL 0)
    string(FIND "${readme}" "${source_tree_end}" end)
    if(end LESS start)
        message(FATAL_ERROR "README.md: a \"source tree\" part is not closed")
    endif()
    string(LENGTH "${source_tree_end}" end_length)
    math(EXPR after "${end} + ${end_length}")
    # The blank line after the part goes with it.
    string(SUBSTRING "${readme}" ${after} 1 next)
    if(next STREQUAL "\n")
        math(EXPR after "${after} + 1")
    endif()
    string(SUBSTRING "${readme}" 0 ${start} before_part)
    string(SUBSTRING "${readme}" ${after} -1 after_part)
    set(readme "${before_part}${after_part}")
    string(FIND "${readme}" "${source_tree_start}" start)
endwhile()
file(CONFIGURE OUTPUT ${package_files}/README.md CONTENT "${readme}" @ONLY)

configure_file(packaging/copyright.in ${package_files}/copyright @ONLY)
configure_file(packaging/changelog.in ${package_files}/changelog @ONLY)
configure_file(man/velkor.1.in ${package_files}/velkor.1 @ONLY)
configure_file(man/velkor-device.1.in ${package_files}/velkor-device.1 @ONLY)
# Compressed as Debian wants them: at the highest level, without a name or time in the header.
set(compressed)
foreach(file changelog velkor.1 velkor-device.1)
    add_custom_command(OUTPUT ${package_files}/${file}.gz
                       COMMAND gzip -9 -n -k -f ${package_files}/${file}
                       DEPENDS ${package_files}/${file}
                       COMMENT "Compressing ${file} for the package")
    list(APPEND compressed ${package_files}/${file}.gz)
endforeach()
add_custom_target(velkor_package_files ALL DEPENDS ${compressed})
add_custom_target(velkor_package_contents DEPENDS velkor velkor-device velkor_package_files)

# Installing (and so packaging) builds only what it installs, not everything.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
install(TARGETS velkor velkor-device RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${package_files}/velkor.1.gz ${package_files}/velkor-device.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${package_files}/README.md ${package_files}/copyright ${package_files}/changelog.gz
        DESTINATION ${doc_dir})
install(DIRECTORY docs/ DESTINATION ${doc_dir}/docs)
install(DIRECTORY examples/ DESTINATION ${doc_dir}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VELKOR_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELKOR_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "device image updater for embedded devices")
# One string with its own line breaks, each line within the 80 columns Debian allows.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Velkor writes new system images into an embedded device's flash, formats\n"
       "its data volume and restarts it, worked full screen by touch or by the\n"
       "device's keys. velkor-device makes and inspects simulated devices, lays\n"
       "out and dry-runs update cards, and checks the target files of real ones.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Stripped; the package keeps no debug symbols.
set(CPACK_STRIP_FILES ON)
# The final message is Chinese whatever the interface language: without a font that has its
# glyphs the operator sees empty boxes. dpkg-shlibdeps adds the libraries to this list.
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-droid-fallback)
# A real device's data volume is formatted with mkfs.fat.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS dosfstools)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
