# Every outside library the modules use, found once here.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(GTest REQUIRED)
find_package(Qt5 5.15 REQUIRED COMPONENTS Core Gui Widgets Network Sql Test X11Extras)

# mbedTLS and http-parser ship no pkg-config files.
find_path(MBEDTLS_INCLUDE_DIR mbedtls/md5.h REQUIRED)
find_library(MBEDCRYPTO_LIBRARY mbedcrypto REQUIRED)
if(NOT TARGET orvane::mbedcrypto)
  add_library(orvane::mbedcrypto UNKNOWN IMPORTED)
  set_target_properties(orvane::mbedcrypto PROPERTIES
    IMPORTED_LOCATION ${MBEDCRYPTO_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${MBEDTLS_INCLUDE_DIR})
endif()

find_path(HTTP_PARSER_INCLUDE_DIR http_parser.h REQUIRED)
find_library(HTTP_PARSER_LIBRARY http_parser REQUIRED)
if(NOT TARGET orvane::http_parser)
  add_library(orvane::http_parser UNKNOWN IMPORTED)
  set_target_properties(orvane::http_parser PROPERTIES
    IMPORTED_LOCATION ${HTTP_PARSER_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${HTTP_PARSER_INCLUDE_DIR})
endif()

find_package(X11 REQUIRED)
find_package(CURL REQUIRED)
find_package(Boost 1.74 REQUIRED COMPONENTS system)
pkg_check_modules(MPV REQUIRED IMPORTED_TARGET mpv)
pkg_check_modules(LIBTORRENT REQUIRED IMPORTED_TARGET libtorrent-rasterbar)
find_package(Qt5WebKitWidgets REQUIRED)
