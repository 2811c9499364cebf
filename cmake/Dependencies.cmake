# Outside libraries, all from Debian packages (scripts/install-deps.sh).
find_package(PkgConfig REQUIRED)
pkg_check_modules(OPENJP2 REQUIRED IMPORTED_TARGET GLOBAL libopenjp2>=2.5)
pkg_check_modules(TURBOJPEG REQUIRED IMPORTED_TARGET GLOBAL libturbojpeg)
pkg_check_modules(MICROHTTPD REQUIRED IMPORTED_TARGET GLOBAL libmicrohttpd>=0.9.70)

if(DVR_WITH_QT)
  find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Network PrintSupport)
  pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET GLOBAL sdl2)
endif()
if(DVR_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(DVR_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()

# Short aliases used by the project's targets.
add_library(dvr::openjp2 ALIAS PkgConfig::OPENJP2)
add_library(dvr::turbojpeg ALIAS PkgConfig::TURBOJPEG)
add_library(dvr::microhttpd ALIAS PkgConfig::MICROHTTPD)
if(DVR_WITH_QT)
  add_library(dvr::sdl2 ALIAS PkgConfig::SDL2)
endif()
