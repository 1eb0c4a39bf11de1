# Manual pages and the Debian package.  Included from the top-level
# CMakeLists.txt after the install rules, so CPack packs exactly what
# `cmake --install` installs.

# Each manual page is made by help2man from the program's own --help and
# --version, so the page cannot drift from the program.
find_program(HLV_HELP2MAN help2man)
find_program(HLV_GZIP gzip)
if(HLV_HELP2MAN AND HLV_GZIP)
  set(pages)
  foreach(entry "halvoren|6|real-time audiovisual show"
                "halvoren-capture|1|render the Halvoren show offline, frame by frame"
                "halvoren-content|1|write the default content of the Halvoren show"
                "halvoren-pack|1|write and read the data archive of the Halvoren show")
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 program)
    list(GET entry 1 section)
    list(GET entry 2 summary)
    if(NOT TARGET ${program})
      continue()
    endif()
    set(page ${CMAKE_BINARY_DIR}/man/${program}.${section})
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${HLV_HELP2MAN} --no-info --section=${section} --name=${summary}
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${HLV_GZIP} -9nf ${page}
      DEPENDS ${program}
      COMMENT "Manual page ${program}(${section})"
      VERBATIM)
    install(FILES ${page}.gz DESTINATION share/man/man${section})
    list(APPEND pages ${page}.gz)
  endforeach()
  add_custom_target(halvoren_man_pages ALL DEPENDS ${pages})
else()
  message(WARNING "help2man or gzip is missing: no manual pages (scripts/packages.txt lists help2man)")
endif()

# What Debian asks of every package: the copyright and the changelog.
if(HLV_GZIP)
  set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${HLV_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/packaging/changelog > ${changelog}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog)
  add_custom_target(halvoren_changelog ALL DEPENDS ${changelog})
  install(FILES ${changelog} DESTINATION share/doc/halvoren)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/halvoren)

# `cpack -G DEB` in the build folder: halvoren_VERSION_ARCH.deb.  The
# launcher names the installed paths, so the install runs with the final
# prefix under DESTDIR rather than with a staging prefix.
set(CPACK_PACKAGE_NAME halvoren)
set(CPACK_PACKAGE_VENDOR Tarnwell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(HALVOREN_MAINTAINER "Halvoren maintainers <maintainers@users.noreply.c-seed-5bc42d35.example>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${HALVOREN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual show")
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Not "games": that section is for programs in /usr/games, and the show is
# watched, not played.
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries come from the binaries (dpkg-shlibdeps); the fonts the
# text is set in are looked up by name at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
# The long description; CPack indents it and marks the empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "One program plays one piece of music and, in step with the music clock,
renders a fixed schedule of OpenGL effects: a lobed tunnel, metaballs, a
torus knot, landscapes, title and credit cards, framed by full-screen
picture layers.

The package holds the show with its default content and desktop launcher,
halvoren-capture (renders the show offline to pictures, video and sound),
halvoren-content (writes the default content) and halvoren-pack (writes and
reads the show's data archive).")
include(CPack)
