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
  # What the tool links (libmsi, libcrypto and their own needs come with
  # them) and what it runs: osslsigncode signs, xorriso masters the image.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libmsi0 (>= 0.101), libgsf-1-114, libssl3, libglib2.0-0, libstdc++6, libc6, osslsigncode, xorriso")
endif()
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_DEB_COMPONENT_INSTALL OFF)
include(CPack)
