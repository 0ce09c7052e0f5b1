# Installation and the Debian package.
#
#   <prefix>/bin                 the drivers, quilm2sam and the side tools
#   <prefix>/libexec/quilm2      the workers, which only the drivers start
#   <prefix>/share/man/man1      a manual page per program, made from --help
#   <prefix>/share/doc/quilm2    README, LICENSE, CHANGELOG, docs/*.md, the bundled example
#
# An installed driver finds its workers in ../libexec/quilm2 from its own
# folder when they are not beside it (as they are in the build tree).
include(GNUInstallDirs)

set(QUILM_USER_PROGRAMS quilm2splice quilm2 quilm2sam annoprep refjunc tailfetch)
set(QUILM_WORKER_PROGRAMS quilm_x junctor quilm_rescue)

install(TARGETS ${QUILM_USER_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${QUILM_WORKER_PROGRAMS}
        RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/quilm2)

# The pages are rewritten whenever a program is rebuilt, from what it prints.
set(QUILM_MAN_PAGES "")
foreach(program IN LISTS QUILM_USER_PROGRAMS QUILM_WORKER_PROGRAMS)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DNAME=${program}
            -DVERSION=${PROJECT_VERSION} -DOUTPUT=${page}
            -P ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
    DEPENDS ${program} ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
    COMMENT "Manual page of ${program}" VERBATIM)
  list(APPEND QUILM_MAN_PAGES ${page})
endforeach()
add_custom_target(quilm_man_pages ALL DEPENDS ${QUILM_MAN_PAGES})
install(FILES ${QUILM_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The bundled example, so that an installed copy can run the worked example.
install(FILES examples/README.md examples/genome.fa examples/genes.gtf examples/reads.fq.gz
              examples/pairs_1.fq.gz examples/pairs_2.fq.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
# The README links to these pages by their relative path docs/<page>.md.
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.md")

# cpack -G DEB in the build folder. The library dependencies (zlib, htslib,
# OpenSSL's libcrypto) come from the binaries themselves through
# dpkg-shlibdeps where it is installed; MPI is only started, never linked.
set(CPACK_PACKAGE_NAME quilm2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the quilm2 developers")
set(CPACK_PACKAGE_CONTACT "the quilm2 developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "short-read RNA-seq mapping with splice junctions")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "openmpi-bin, samtools")
find_program(QUILM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QUILM_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "zlib1g, libhts3 | libhts3t64, libssl3 | libssl3t64, libstdc++6, libc6")
endif()
include(CPack)
