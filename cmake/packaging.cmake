# The packages scripts/package makes with CPack: from the host build, the
# Debian package and the Linux archive; from the x86_64 Windows build, the
# Windows zip. Each holds bin/disc-launcher and share/disc-launcher/<arch>/
# for both processors. LAUNCHER_KIT_DIRS lists the kit folders of the other
# builds (kit/<arch> of each Windows build tree) to put beside it.
set(LAUNCHER_KIT_DIRS "" CACHE STRING "kit/<arch> folders of the Windows builds to package")
foreach(kit_dir IN LISTS LAUNCHER_KIT_DIRS)
  install(DIRECTORY ${kit_dir} DESTINATION share/disc-launcher COMPONENT kit
          PATTERN "*.exe" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                      GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()

# The documents a build engineer needs with the tool alone, in every
# package: the product folder's format and the demo product as an example
# (without its generated package; its README.md says how to make one). The
# manual page comes with the tool (tools/CMakeLists.txt).
install(FILES ${PROJECT_SOURCE_DIR}/docs/product-format.md DESTINATION share/doc/disc-launcher COMPONENT docs)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/products/demo/ DESTINATION share/doc/disc-launcher/examples/demo
        COMPONENT docs
        PATTERN .gitignore EXCLUDE
        PATTERN make-package EXCLUDE
        PATTERN payload EXCLUDE
        PATTERN *.msi EXCLUDE)

if(NOT WIN32)
  # One tool for Debian 12 and 13. libmsi is the same library in both (the
  # same symbols, the same headers) under two file names: libmsi.so.0 in
  # Debian 12, libmsi-1.0.so.0 in Debian 13. The tool searches its own
  # lib/disc-launcher/ first (its RUNPATH), where a link under the name it
  # was linked with leads to the other release's file. On the release it was
  # built on that link leads nowhere, and the system's own file is found.
  find_package(PkgConfig REQUIRED)
  pkg_get_variable(LIBMSI_LIBDIR libmsi-1.0 libdir)
  if(EXISTS ${LIBMSI_LIBDIR}/libmsi.so.0)
    set(LIBMSI_LINKED libmsi.so.0)
    set(LIBMSI_OTHER libmsi-1.0.so.0)
  else()
    set(LIBMSI_LINKED libmsi-1.0.so.0)
    set(LIBMSI_OTHER libmsi.so.0)
  endif()
  set(PRIVATE_LIBS ${CMAKE_BINARY_DIR}/private-libs)
  file(REMOVE_RECURSE ${PRIVATE_LIBS})
  file(MAKE_DIRECTORY ${PRIVATE_LIBS})
  file(CREATE_LINK ${LIBMSI_LIBDIR}/${LIBMSI_OTHER} ${PRIVATE_LIBS}/${LIBMSI_LINKED} SYMBOLIC)
  install(DIRECTORY ${PRIVATE_LIBS}/ DESTINATION lib/disc-launcher COMPONENT tool)
  set_target_properties(disc-launcher PROPERTIES INSTALL_RPATH "$ORIGIN/../lib/disc-launcher")
endif()

set(CPACK_PACKAGE_NAME disc-launcher)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "disc-launcher developers")
set(CPACK_PACKAGE_CONTACT "disc-launcher developers <disc-launcher@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "builds the launcher and installer exes of a game disc from a product folder")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME disc-launcher-${PROJECT_VERSION}-windows-x86_64)
else()
  set(CPACK_GENERATOR "DEB;TGZ")
  set(CPACK_PACKAGE_FILE_NAME disc-launcher-${PROJECT_VERSION}-linux-x86_64)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # disc-launcher_<version>_amd64.deb
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  # What the tool links (libmsi, libgsf, libcrypto and their own needs come
  # with them) and what it runs: osslsigncode signs, xorriso masters the image.
  # One package for Debian 12 and 13 (made on Debian 12): Debian 13 has the
  # same libraries in packages of new names (libmsi's new file name, above,
  # and the 64-bit time_t renames), so each library names both, Debian 12's
  # first.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libmsi0 (>= 0.101) | libmsi-1.0-0 (>= 0.101), libgsf-1-114, libssl3 | libssl3t64, libglib2.0-0 | libglib2.0-0t64, libstdc++6, libc6, osslsigncode, xorriso")
endif()
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_DEB_COMPONENT_INSTALL OFF)
include(CPack)
