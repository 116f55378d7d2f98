# SPDX-License-Identifier: GPL-3.0-or-later
# Installing and packaging: what `cmake --install` writes (make install
# runs it through scripts/install-tree, which records it for make
# uninstall), and the Debian package built with CPack (make package).
# Included at the end of CMakeLists.txt, once every program target exists.
# docs/packaging.md tells the layout and the checks.
#
# The layout is fixed rather than taken from GNUInstallDirs: the game finds
# its data at ../share/chainball/filut from its own folder
# (data_folder_places in src/core/files.cpp), so bin/ and share/ must stay
# siblings.

# Every program of the game that this build makes is installed to
# CHAINBALL_BINDIR: bin/ for make install, games/ where Debian keeps games
# (the package builds set it). Both are siblings of share/.
set(CHAINBALL_PROGRAMS chainball chainball-sim chainball-track)
set(CHAINBALL_BINDIR bin CACHE STRING "Folder of the programs under the prefix: bin or games")

# What the package and the metainfo say about the project. No public home
# page, source address or contact exists yet, so none is named anywhere.
set(CHAINBALL_APP_ID "org.chainball.Chainball" CACHE STRING "AppStream component id")
set(CHAINBALL_LICENSE "GPL-3.0-or-later AND CC-BY-SA-4.0 AND Bitstream-Vera")

set(DIST ${CMAKE_SOURCE_DIR}/dist)
set(DIST_OUT ${CMAKE_BINARY_DIR}/dist)
set(CHANGELOG ${CMAKE_SOURCE_DIR}/debian/changelog)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Hardening the Debian toolchain expects of installed programs; none of it
# touches floating-point code. The package builds add dpkg-buildflags' own.
foreach(program ${CHAINBALL_PROGRAMS})
  if(TARGET ${program})
    target_link_options(${program} PRIVATE -Wl,-z,relro,-z,now)
    install(TARGETS ${program} RUNTIME DESTINATION ${CHAINBALL_BINDIR})
  endif()
endforeach()
foreach(lib chainball_sim chainball_sim_cli chainball_game)
  target_compile_definitions(${lib} PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endforeach()

# The Debian package uses the distribution's copy of the font through a
# link, and depends on its package (debian/control); make install keeps its
# own copy. The package builds turn this on.
option(CHAINBALL_SYSTEM_FONT "Link filut/VeraMoBd.ttf to the ttf-bitstream-vera package's copy" OFF)
set(SYSTEM_FONT /usr/share/fonts/truetype/ttf-bitstream-vera/VeraMoBd.ttf)
if(CHAINBALL_SYSTEM_FONT)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/filut DESTINATION share/chainball PATTERN VeraMoBd.ttf EXCLUDE)
  # Relative, as Debian wants links within /usr.
  install(CODE "
    set(filut \"\${CMAKE_INSTALL_PREFIX}/share/chainball/filut\")
    file(RELATIVE_PATH target \"\${filut}\" ${SYSTEM_FONT})
    file(CREATE_LINK \"\${target}\" \"\$ENV{DESTDIR}\${filut}/VeraMoBd.ttf\" SYMBOLIC)")
else()
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/filut DESTINATION share/chainball)
endif()

# debian/changelog is the one history of releases: the package's changelog
# and the metainfo's <releases>, newest first. Its newest version must be
# this project's version.
file(STRINGS ${CHANGELOG} changelog_lines)
set(CHAINBALL_RELEASES "")
set(release_notes "")
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^chainball \\(([^)]+)\\)")
    set(release_version ${CMAKE_MATCH_1})
    if(NOT newest_version)
      set(newest_version ${release_version})
      set(newest_entry ON)
    endif()
    set(release_notes "")
  elseif(line MATCHES "^  \\* (.*)$")
    string(APPEND release_notes "</li>\n          <li>${CMAKE_MATCH_1}")
  elseif(line MATCHES "^    (.*)$")
    string(APPEND release_notes " ${CMAKE_MATCH_1}")
  elseif(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    list(FIND months ${CMAKE_MATCH_2} month)
    math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
    if(month LESS 10)
      set(month 0${month})
    endif()
    # The manual pages carry the date of the newest release.
    if(newest_entry)
      set(CHAINBALL_RELEASE_DATE "${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1}")
      set(newest_entry OFF)
    endif()
    string(SUBSTRING "${release_notes}" 6 -1 release_notes)   # the first </li>
    string(REPLACE "&" "&amp;" release_notes "${release_notes}")
    string(APPEND CHAINBALL_RELEASES
      "    <release version=\"${release_version}\" date=\"${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1}\">\n"
      "      <description>\n        <ul>\n${release_notes}</li>\n        </ul>\n      </description>\n"
      "    </release>\n")
  endif()
endforeach()
if(NOT newest_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "debian/changelog's newest version is ${newest_version}, the project's ${PROJECT_VERSION}: add its entry")
endif()
string(REGEX REPLACE "\n$" "" CHAINBALL_RELEASES "${CHAINBALL_RELEASES}")
configure_file(${DIST}/chainball.metainfo.xml.in ${DIST_OUT}/${CHAINBALL_APP_ID}.metainfo.xml @ONLY)

# Manual pages and the changelog go compressed, as Debian keeps them;
# gzip -n leaves out the time, so the bytes do not change between builds.
file(GLOB MAN_PAGES CONFIGURE_DEPENDS ${DIST}/man/*.6)
set(GZIPPED)
foreach(page ${MAN_PAGES} ${CHANGELOG})
  get_filename_component(name ${page} NAME)
  configure_file(${page} ${DIST_OUT}/${name} @ONLY)
  add_custom_command(OUTPUT ${DIST_OUT}/${name}.gz
    COMMAND gzip -9nc ${DIST_OUT}/${name} > ${DIST_OUT}/${name}.gz
    DEPENDS ${DIST_OUT}/${name} VERBATIM)
  list(APPEND GZIPPED ${DIST_OUT}/${name}.gz)
endforeach()
add_custom_target(dist_files ALL DEPENDS ${GZIPPED})
list(FILTER GZIPPED EXCLUDE REGEX "/changelog\\.gz$")
install(FILES ${GZIPPED} DESTINATION share/man/man6)

# The desktop entry names the installed game by its full path, so the menu
# starts it where the programs' folder (/usr/games) is not on PATH; the
# prefix is known only when installing.
install(CODE "
  set(CHAINBALL_EXEC \"\${CMAKE_INSTALL_PREFIX}/${CHAINBALL_BINDIR}/chainball\")
  set(CHAINBALL_APP_ID ${CHAINBALL_APP_ID})
  configure_file(${DIST}/chainball.desktop.in ${DIST_OUT}/desktop/${CHAINBALL_APP_ID}.desktop @ONLY)
  file(INSTALL ${DIST_OUT}/desktop/${CHAINBALL_APP_ID}.desktop
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/share/applications\")")
install(FILES ${DIST_OUT}/${CHAINBALL_APP_ID}.metainfo.xml DESTINATION share/metainfo)
foreach(size 32 48 64 128 256)
  install(FILES ${DIST}/icons/chainball-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
    RENAME ${CHAINBALL_APP_ID}.png)
endforeach()
install(FILES ${DIST}/icons/chainball.svg DESTINATION share/icons/hicolor/scalable/apps
  RENAME ${CHAINBALL_APP_ID}.svg)

# The documents keep their folders, so their links and pictures work where
# they are installed.
set(DOC share/doc/chainball)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${DIST_OUT}/changelog.gz DESTINATION ${DOC})
install(FILES ${CMAKE_SOURCE_DIR}/debian/copyright DESTINATION ${DOC})
install(FILES ${CMAKE_SOURCE_DIR}/docs/tracks.md ${CMAKE_SOURCE_DIR}/docs/replay-format.md
  DESTINATION ${DOC}/docs)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/pictures ${CMAKE_SOURCE_DIR}/docs/example
  ${CMAKE_SOURCE_DIR}/docs/screenshots DESTINATION ${DOC}/docs)

# The Debian package: `cpack -G DEB` in the build folder (make package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME chainball)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# One description of the game: the one in debian/control.
file(READ ${CMAKE_SOURCE_DIR}/debian/control control)
string(REGEX MATCH "\nMaintainer: ([^\n]*)" _ "${control}")
set(CPACK_PACKAGE_CONTACT "${CMAKE_MATCH_1}")
string(REGEX MATCH "\nDescription: ([^\n]*)\n(.*)$" _ "${control}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_MATCH_1}")
# CPack puts the summary first and indents each line; an empty line
# becomes the paragraph mark.
string(REGEX REPLACE "(^|\n) \\.?" "\\1" description "${CMAKE_MATCH_2}")
string(STRIP "${description}" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# debian/control's dependencies but its substitutions; dpkg-shlibdeps' list
# is added after them.
string(REGEX MATCH "\nDepends: ([^\n]*)" _ "${control}")
string(REGEX REPLACE "\\$\\{[^}]*\\}(, )?" "" depends "${CMAKE_MATCH_1}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${depends}")
include(CPack)

if(CHAINBALL_TESTS)
  foreach(check layout window uninstall make package)
    add_test(NAME install_${check}
      COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/install_${check}.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(install_${check} PROPERTIES TIMEOUT 180 LABELS install)
  endforeach()
  set_tests_properties(install_window PROPERTIES RUN_SERIAL TRUE)
  # Two whole builds of the game with the distribution's flags: run by
  # `make package-check`, not `make test`.
  set_tests_properties(install_package PROPERTIES TIMEOUT 900 LABELS package)
endif()
