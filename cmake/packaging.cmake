# Install rules and the packages made from them.
#   Linux:   bin/skerry, the manual page, the bash completion, README and
#            licence under share/; `cpack -G DEB` makes the Debian package.
#   Windows: skerry.exe, README.txt and LICENSE.txt side by side, as a user
#            unpacks them; `cpack -G ZIP` makes the archive.
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS skerry RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION . RENAME README.txt)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
  set(CPACK_GENERATOR ZIP)
else()
  install(TARGETS skerry RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Manual pages are installed compressed, as Debian's policy asks; man reads
  # either form, so a system without gzip gets the plain page.
  set(manual_page ${CMAKE_SOURCE_DIR}/docs/skerry.1)
  find_program(GZIP_PROGRAM gzip)
  if(GZIP_PROGRAM)
    set(compressed_page ${CMAKE_BINARY_DIR}/skerry.1.gz)
    add_custom_command(
      OUTPUT ${compressed_page}
      COMMAND ${CMAKE_COMMAND} -E copy ${manual_page} ${CMAKE_BINARY_DIR}/skerry.1
      COMMAND ${GZIP_PROGRAM} -9nf ${CMAKE_BINARY_DIR}/skerry.1
      DEPENDS ${manual_page}
      VERBATIM)
    add_custom_target(skerry_manual_page ALL DEPENDS ${compressed_page})
    # Built with the program, so that a tree built for skerry alone installs.
    add_dependencies(skerry skerry_manual_page)
    install(FILES ${compressed_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(FILES ${manual_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()

  install(FILES completions/skerry.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME skerry)
  install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Debian looks for a package's licence in /usr/share/doc/<package>/copyright.
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
  set(CPACK_GENERATOR DEB)
endif()

set(CPACK_PACKAGE_NAME skerry)
set(CPACK_PACKAGE_VENDOR "The Skerry developers")
set(CPACK_PACKAGE_CONTACT "The Skerry developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file finder that reads the NTFS Master File Table")
set(CPACK_PACKAGE_DESCRIPTION "\
Skerry lists the files of an NTFS volume by reading its Master File Table
straight from the disk, a disk image or a volume image, instead of walking
directories. Filters select files by name pattern, directory, age, size,
number of data streams and attributes; the listing can show sizes, times,
attributes and record numbers, or be written as a body file for timeline
tools. A query mode prints statistics about the MFT.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The C and C++ runtime libraries are declared by dpkg-shlibdeps from what the
# binary links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
