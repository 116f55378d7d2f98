# Installing and packaging: `cmake --install` (make install), the install
# manifest's uninstall target, and a Debian package built with CPack
# (make package). Included at the end of CMakeLists.txt, once every program
# target exists. docs/packaging.md tells the layout and the checks.
#
# The layout is fixed rather than taken from GNUInstallDirs: the game finds
# its data at ../share/chainball/filut from its own folder (find_data_folder
# in src/shell/shell.cpp), so bin/ and share/ must stay siblings.

# Every program of the game that this build makes is installed to bin/.
set(CHAINBALL_PROGRAMS chainball chainball-sim chainball-track)

# What a package and the metainfo say about the project. The code, pictures,
# music and tracks carry no licence yet: until one is chosen the package says
# so instead of naming one. The font has its own (Bitstream Vera).
set(CHAINBALL_APP_ID "org.chainball.Chainball" CACHE STRING "AppStream component id")
set(CHAINBALL_HOMEPAGE "https://example.org/chainball" CACHE STRING "The project's public home page")
set(CHAINBALL_SCREENSHOTS "${CHAINBALL_HOMEPAGE}/docs/screenshots" CACHE STRING
    "Public folder of docs/screenshots/, for the metainfo")
set(CHAINBALL_MAINTAINER "The Chainball developers <chainball@example.org>" CACHE STRING "Package maintainer")
set(CHAINBALL_LICENSE "LicenseRef-proprietary AND Bitstream-Vera" CACHE STRING "SPDX licence of the whole")
set(CHAINBALL_LICENSE_NAME "none-yet")
set(CHAINBALL_LICENSE_TEXT
    " No licence has been granted for Chainball's code, pictures, music and\n tracks yet; all rights are reserved by their authors.")
set(CHAINBALL_COPYRIGHT "2026 The Chainball developers")
set(CHAINBALL_RELEASE_DATE "2026-12-07")   # of this version; metainfo and changelog
set(CHAINBALL_RELEASE_DATE_RFC2822 "Mon, 07 Dec 2026 12:00:00 +0000")

set(DIST ${CMAKE_SOURCE_DIR}/dist)
set(DIST_OUT ${CMAKE_BINARY_DIR}/dist)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Hardening the Debian toolchain expects of installed programs; none of it
# touches floating-point code.
foreach(program ${CHAINBALL_PROGRAMS})
  if(TARGET ${program})
    target_link_options(${program} PRIVATE -Wl,-z,relro,-z,now)
    install(TARGETS ${program} RUNTIME DESTINATION bin)
  endif()
endforeach()
foreach(lib chainball_sim chainball_sim_cli chainball_game)
  target_compile_definitions(${lib} PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endforeach()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/filut DESTINATION share/chainball)

# Files with the version or the project's addresses in them.
configure_file(${DIST}/chainball.metainfo.xml.in ${DIST_OUT}/${CHAINBALL_APP_ID}.metainfo.xml @ONLY)
file(READ ${CMAKE_SOURCE_DIR}/filut/VeraMoBd-LICENSE.txt font_licence)
string(FIND "${font_licence}" "License: Bitstream\n All Rights" at)
string(SUBSTRING "${font_licence}" ${at} -1 font_licence)
configure_file(${DIST}/copyright.in ${DIST_OUT}/copyright.tmp @ONLY)
file(READ ${DIST_OUT}/copyright.tmp copyright)
string(STRIP "${copyright}\n\n${font_licence}" copyright)
file(WRITE ${DIST_OUT}/copyright "${copyright}\n")

# Manual pages and the changelog go compressed, as Debian keeps them;
# gzip -n leaves out the time, so the bytes do not change between builds.
file(GLOB MAN_PAGES CONFIGURE_DEPENDS ${DIST}/man/*.6)
set(GZIPPED)
foreach(page ${MAN_PAGES} ${DIST}/changelog.in)
  get_filename_component(name ${page} NAME)
  string(REPLACE ".in" "" name ${name})
  configure_file(${page} ${DIST_OUT}/${name} @ONLY)
  add_custom_command(OUTPUT ${DIST_OUT}/${name}.gz
    COMMAND gzip -9nc ${DIST_OUT}/${name} > ${DIST_OUT}/${name}.gz
    DEPENDS ${DIST_OUT}/${name} VERBATIM)
  list(APPEND GZIPPED ${DIST_OUT}/${name}.gz)
endforeach()
add_custom_target(dist_files ALL DEPENDS ${GZIPPED})
list(FILTER GZIPPED EXCLUDE REGEX "/changelog\\.gz$")
install(FILES ${GZIPPED} DESTINATION share/man/man6)

install(FILES ${DIST}/chainball.desktop DESTINATION share/applications)
install(FILES ${DIST_OUT}/${CHAINBALL_APP_ID}.metainfo.xml DESTINATION share/metainfo)
foreach(size 32 48 64 128 256)
  install(FILES ${DIST}/icons/chainball-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
    RENAME chainball.png)
endforeach()
install(FILES ${DIST}/icons/chainball.svg DESTINATION share/icons/hicolor/scalable/apps)

set(DOCS ${CMAKE_SOURCE_DIR}/README.md ${DIST_OUT}/copyright ${DIST_OUT}/changelog.gz)
if(EXISTS ${CMAKE_SOURCE_DIR}/docs/tracks.md)
  list(APPEND DOCS ${CMAKE_SOURCE_DIR}/docs/tracks.md)
endif()
install(FILES ${DOCS} DESTINATION share/doc/chainball)

# Removes what the last install wrote (install_manifest.txt), honouring DESTDIR.
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${CMAKE_BINARY_DIR}/install_manifest.txt
          -P ${CMAKE_SOURCE_DIR}/cmake/uninstall.cmake)

# The Debian package: `cpack -G DEB` in the build folder (make package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME chainball)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${CHAINBALL_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CHAINBALL_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "top-down racing game with chains of balls")
# CPack puts the summary first and indents each line; an empty line
# becomes the paragraph mark.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A small top-down racing game for one or two people at one keyboard.
Each racer is a chain of balls: a head you steer, dragging up to nine
balls that push every other ball out of the way. Race the computer round
tracks of square tiles; mud, sand and gravel slow you down, and every
checkpoint must be touched before a lap counts.

Also holds chainball-sim, which replays a race without a window.")
# Debian keeps games in /usr/games: the package moves the programs there
# from bin/ (games/ and bin/ are both siblings of share/, so the data
# folder is found the same way).
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/package_games.cmake)
include(CPack)

if(CHAINBALL_TESTS)
  foreach(check layout window)
    add_test(NAME install_${check}
      COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/install_${check}.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(install_${check} PROPERTIES TIMEOUT 180 LABELS install)
  endforeach()
  set_tests_properties(install_window PROPERTIES RUN_SERIAL TRUE)
endif()
