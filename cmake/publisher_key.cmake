# The publisher's public key, built into the program: with it, a
# communication file must carry the publisher's signature. PEM text, or the
# path of a PEM file; empty (the default) checks no signature.
set(TOVI_PUBLISHER_KEY "" CACHE STRING
    "publisher's ECDSA P-256 public key: PEM text or a PEM file (empty: no signature check)")

set(tovi_publisher_key_pem "${TOVI_PUBLISHER_KEY}")
if(tovi_publisher_key_pem AND NOT tovi_publisher_key_pem MATCHES "-----BEGIN")
  if(NOT EXISTS "${tovi_publisher_key_pem}")
    message(FATAL_ERROR "TOVI_PUBLISHER_KEY is neither PEM text nor a file: ${tovi_publisher_key_pem}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${tovi_publisher_key_pem}")
  file(READ "${tovi_publisher_key_pem}" tovi_publisher_key_pem)
endif()
if(tovi_publisher_key_pem AND NOT tovi_publisher_key_pem MATCHES
   "-----BEGIN PUBLIC KEY-----.*-----END PUBLIC KEY-----")
  message(FATAL_ERROR "TOVI_PUBLISHER_KEY holds no PEM public key")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/publisher_key.h.in
               ${CMAKE_BINARY_DIR}/generated/publisher_key.h @ONLY)
