# The Linux libraries of the product tool, for tools/CMakeLists.txt and the
# fuzz project: libmsi reads packages' tables, libgsf (which libmsi is built
# on) writes the language transforms into a package, OpenSSL's
# libcrypto makes the report's digests, nlohmann-json writes the report, and
# a thread makes a large exe's digest beside its writing.
#   link_tool_libraries(TARGET)
function(link_tool_libraries target)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBMSI IMPORTED_TARGET libmsi-1.0)
  if(NOT LIBMSI_FOUND)
    # pkg-config's own word on what is missing is in the lines above.
    message(FATAL_ERROR "libmsi-1.0 and the glib and gio it needs were not found; on Debian install "
                        "libmsi-dev and libglib2.0-dev with: sudo scripts/install-deps build")
  endif()
  pkg_check_modules(LIBGSF IMPORTED_TARGET libgsf-1)
  if(NOT LIBGSF_FOUND)
    message(FATAL_ERROR "libgsf-1 was not found; on Debian install libgsf-1-dev with: "
                        "sudo scripts/install-deps build")
  endif()
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  find_package(nlohmann_json 3 REQUIRED)
  find_package(Threads REQUIRED)
  target_link_libraries(${target} PUBLIC PkgConfig::LIBMSI PkgConfig::LIBGSF OpenSSL::Crypto
                                         nlohmann_json::nlohmann_json Threads::Threads)
endfunction()
