# The prebuilt files of this processor's product builds, in
# kit/<arch>/ of the build tree and share/disc-launcher/<arch>/ of an
# installation (component "kit"):
#   launcher.exe   the program, linked once: stripped, without resources and
#                  without a time stamp, so that it is the same for every
#                  product and every build of one source;
#   launcher.res   the dialogs and the manifest, compiled by windres;
#   background*.bmp, app.ico   our default art and icon;
#   version.txt    the version the tool checks against its own.
# Included from the top-level CMakeLists.txt of a Windows build, after
# LAUNCHER_LINK_OPTIONS is set.
set(LAUNCHER_ARCH ${CMAKE_SYSTEM_PROCESSOR})
set(KIT_DIR ${CMAKE_BINARY_DIR}/kit/${LAUNCHER_ARCH})
file(MAKE_DIRECTORY ${KIT_DIR})

add_custom_command(
  OUTPUT ${KIT_DIR}/launcher.exe
  COMMAND ${CMAKE_CXX_COMPILER} -s -o ${KIT_DIR}/launcher.exe ${LAUNCHER_LINK_OPTIONS}
          -Wl,--no-insert-timestamp
  DEPENDS launcher_app launcher_core
  COMMAND_EXPAND_LISTS
  COMMENT "Linking the launcher of the ${LAUNCHER_ARCH} kit")

# The manifest names the processor twice (the program and the common
# controls it asks for); Windows refuses an exe whose manifest names another.
# windres looks in the current folder first, so it runs where this copy is.
if(LAUNCHER_ARCH STREQUAL "x86_64")
  set(MANIFEST_ARCH amd64)
else()
  set(MANIFEST_ARCH x86)
endif()
file(READ ${PROJECT_SOURCE_DIR}/resources/launcher.manifest MANIFEST_TEXT)
string(REPLACE "processorArchitecture=\"x86\"" "processorArchitecture=\"${MANIFEST_ARCH}\""
       MANIFEST_TEXT "${MANIFEST_TEXT}")
set(KIT_RC_DIR ${CMAKE_BINARY_DIR}/kit-rc)
file(GENERATE OUTPUT ${KIT_RC_DIR}/launcher.manifest CONTENT "${MANIFEST_TEXT}")
file(GLOB KIT_RC_INPUTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/*.rc
     ${PROJECT_SOURCE_DIR}/resources/*.h ${PROJECT_SOURCE_DIR}/resources/launcher.manifest)
add_custom_command(
  OUTPUT ${KIT_DIR}/launcher.res
  COMMAND ${CMAKE_RC_COMPILER} -I ${PROJECT_SOURCE_DIR}/resources -O res -o ${KIT_DIR}/launcher.res
          ${PROJECT_SOURCE_DIR}/resources/launcher.rc
  WORKING_DIRECTORY ${KIT_RC_DIR}
  DEPENDS ${KIT_RC_INPUTS} ${KIT_RC_DIR}/launcher.manifest
  COMMENT "Compiling the base resources of the ${LAUNCHER_ARCH} kit")

set(KIT_ART background.bmp background-150.bmp background-200.bmp app.ico)
set(KIT_ART_OUTPUTS)
foreach(art IN LISTS KIT_ART)
  add_custom_command(
    OUTPUT ${KIT_DIR}/${art}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/resources/art/${art} ${KIT_DIR}/${art}
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/art/${art})
  list(APPEND KIT_ART_OUTPUTS ${KIT_DIR}/${art})
endforeach()
file(GENERATE OUTPUT ${KIT_DIR}/version.txt CONTENT "${PROJECT_VERSION}\n")

add_custom_target(kit ALL DEPENDS ${KIT_DIR}/launcher.exe ${KIT_DIR}/launcher.res
                                  ${KIT_ART_OUTPUTS})
install(DIRECTORY ${KIT_DIR} DESTINATION share/disc-launcher COMPONENT kit
        PATTERN "*.exe" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE)
