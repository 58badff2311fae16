# mbed TLS's crypto library (libmbedcrypto) and its headers, with the version
# read from them: 2.28 (Debian 12, Ubuntu 22.04 and 24.04) and 3.x (Debian 13,
# Fedora) both serve, as the code keeps to the public interface of both.
#   MBEDCRYPTO_LIBRARY, MBEDTLS_INCLUDE_DIR, MbedCrypto_VERSION
find_path(MBEDTLS_INCLUDE_DIR mbedtls/aes.h)
find_library(MBEDCRYPTO_LIBRARY mbedcrypto)

# 3.x keeps the version in build_info.h, 2.x in version.h.
foreach(header build_info.h version.h)
  if(MBEDTLS_INCLUDE_DIR AND NOT MbedCrypto_VERSION AND EXISTS ${MBEDTLS_INCLUDE_DIR}/mbedtls/${header})
    file(STRINGS ${MBEDTLS_INCLUDE_DIR}/mbedtls/${header} line REGEX "^#define[ \t]+MBEDTLS_VERSION_STRING[ \t]+\"")
    if(line MATCHES "\"([0-9.]+)\"")
      set(MbedCrypto_VERSION ${CMAKE_MATCH_1})
    endif()
  endif()
endforeach()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(MbedCrypto
  REQUIRED_VARS MBEDCRYPTO_LIBRARY MBEDTLS_INCLUDE_DIR
  VERSION_VAR MbedCrypto_VERSION)
