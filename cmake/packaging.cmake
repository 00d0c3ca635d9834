# Packages of what `cmake --install` puts in place: a .deb and a .tar.gz on Linux, a .zip on Windows.
set(CPACK_PACKAGE_NAME kelvad)
set(CPACK_PACKAGE_VENDOR "The kelvad developers")
set(CPACK_PACKAGE_CONTACT "The kelvad developers <kelvad@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Branch Optimizer for Pelorin Family: repairs out-of-range relative branches")
# Lines of at most 80 characters, as Debian's extended description wants them.
set(CPACK_PACKAGE_DESCRIPTION
  "kelvad runs the Pelorin family's assembler torna, reads the branches it
reports out of reach and rewrites them in the source (inverted branch over a
JMP, BRA to JMP, long forms of structured statements), assembling again until
nothing is left to repair.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB TGZ)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The C and C++ run-time libraries, as dpkg-shlibdeps finds them where it is installed.
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()

include(CPack)

if(NOT KELVAD_TESTS OR WIN32)
  return()
endif()

# The install tree, the .tar.gz and the .deb each hold only the tool, its manual page and
# its documents, and the tool in them runs. They write into the build tree's install manifest, so one at a time.
set(KELVAD_VERSION_LINE " Branch Optimizer for Pelorin Family V.1.00.00")
set(KELVAD_DELIVERY_CHECK ${CMAKE_CURRENT_LIST_DIR}/checkdelivery.sh)
add_test(NAME package/install
  COMMAND bash ${KELVAD_DELIVERY_CHECK} install ${CMAKE_BINARY_DIR} "${KELVAD_VERSION_LINE}")
add_test(NAME package/tgz
  COMMAND bash ${KELVAD_DELIVERY_CHECK} tgz ${CMAKE_BINARY_DIR} "${KELVAD_VERSION_LINE}")
set_tests_properties(package/install package/tgz PROPERTIES RESOURCE_LOCK install_tree)
find_program(DPKG_DEB dpkg-deb)
if(DPKG_DEB)
  add_test(NAME package/deb
    COMMAND bash ${KELVAD_DELIVERY_CHECK} deb ${CMAKE_BINARY_DIR} "${KELVAD_VERSION_LINE}")
  set_tests_properties(package/deb PROPERTIES RESOURCE_LOCK install_tree)
  add_test(NAME package/lintian
    COMMAND bash ${KELVAD_DELIVERY_CHECK} lintian ${CMAKE_BINARY_DIR} "${KELVAD_VERSION_LINE}")
  set_tests_properties(package/lintian PROPERTIES RESOURCE_LOCK install_tree SKIP_RETURN_CODE 77)
else()
  message(STATUS "dpkg-deb not found: the .deb test is left out")
endif()
