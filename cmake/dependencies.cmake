# Third-party libraries as imported targets tovi::curl and tovi::jansson.
# Natively they come from Debian's packages; for the Windows build from the
# static MinGW builds that scripts/mingw-deps makes (its prefix is on
# CMAKE_FIND_ROOT_PATH through the toolchain file).
if(WIN32)
  find_library(TOVI_CURL_LIB NAMES libcurl.a curl REQUIRED)
  find_library(TOVI_JANSSON_LIB NAMES libjansson.a jansson REQUIRED)
  find_path(TOVI_CURL_INCLUDE curl/curl.h REQUIRED)
  find_path(TOVI_JANSSON_INCLUDE jansson.h REQUIRED)
  add_library(tovi::curl INTERFACE IMPORTED)
  target_include_directories(tovi::curl INTERFACE ${TOVI_CURL_INCLUDE})
  target_link_libraries(tovi::curl INTERFACE ${TOVI_CURL_LIB} ws2_32 crypt32 bcrypt iphlpapi)
  target_compile_definitions(tovi::curl INTERFACE CURL_STATICLIB)
  add_library(tovi::jansson INTERFACE IMPORTED)
  target_include_directories(tovi::jansson INTERFACE ${TOVI_JANSSON_INCLUDE})
  target_link_libraries(tovi::jansson INTERFACE ${TOVI_JANSSON_LIB})
else()
  find_package(CURL REQUIRED)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(JANSSON REQUIRED IMPORTED_TARGET jansson)
  find_package(Threads REQUIRED)
  add_library(tovi::curl ALIAS CURL::libcurl)
  add_library(tovi::jansson ALIAS PkgConfig::JANSSON)
endif()
