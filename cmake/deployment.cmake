# Build-time deployment settings. The defaults point everything at the
# reference server on this machine, so a fresh build works out of the box.
set(TOVI_STATS_SERVER_ADDRESS "127.0.0.1" CACHE STRING
    "IPv4 address of the statistics server (port 8101 is fixed)")
set(TOVI_INSTALLER_HOST "127.0.0.1:8101" CACHE STRING
    "host[:port] that serves the installer pages")
set(TOVI_FORUM_HOST "127.0.0.1:8101" CACHE STRING
    "host[:port] of the support forum")
set(TOVI_SUPPORT_SITE "http://127.0.0.1:8101/" CACHE STRING
    "address of the support site")

if(NOT TOVI_STATS_SERVER_ADDRESS MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "TOVI_STATS_SERVER_ADDRESS must be an IPv4 address")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/deployment.h.in
               ${CMAKE_BINARY_DIR}/generated/deployment.h @ONLY)
