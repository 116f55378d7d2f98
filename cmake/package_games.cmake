# Run by CPack on its staging folder before it builds the .deb: the
# programs go from usr/bin to usr/games, where Debian keeps games.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_DIRECTORY}/*/usr/bin/*" "${CPACK_TEMPORARY_DIRECTORY}/usr/bin/*")
if(NOT programs)
  message(FATAL_ERROR "no usr/bin/ in ${CPACK_TEMPORARY_DIRECTORY}")
endif()
foreach(p ${programs})
  get_filename_component(bin ${p} DIRECTORY)
  get_filename_component(usr ${bin} DIRECTORY)
  get_filename_component(name ${p} NAME)
  file(MAKE_DIRECTORY ${usr}/games)
  file(RENAME ${p} ${usr}/games/${name})
endforeach()
file(REMOVE_RECURSE ${bin})   # empty now
