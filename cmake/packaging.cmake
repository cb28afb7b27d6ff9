# Install rules and packages. The windows preset installs one folder laid
# out as the Windows program expects it (programs, help page and settings
# file side by side, data/ below) and packs it as a zip; the native preset
# installs the Linux programs, the manual pages and the documentation and
# packs them as a tarball, or as a Debian package with -G DEB:
#
#   cmake --build --preset native && cpack --config build/native/CPackConfig.cmake
#   cpack -G DEB --config build/native/CPackConfig.cmake
#   cmake --build --preset windows && cpack --config build/windows/CPackConfig.cmake
#
# tests/package/check_package.sh lists both packages and checks what they hold.
include(GNUInstallDirs)

# CONFIGURE_DEPENDS: a guide added later reaches the packages without a fresh configure.
file(GLOB r7700_docs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
set(r7700_examples ${PROJECT_SOURCE_DIR}/tools/examples/product.ini
                   ${PROJECT_SOURCE_DIR}/tools/examples/veskotdr.ini)

if(WIN32)
  # Everything at the top of the folder: the programs find product.ini and
  # data/ beside themselves.
  set(r7700_doc_dir .)
  foreach(program r7700update r7700-update)
    if(TARGET ${program})
      install(TARGETS ${program} RUNTIME DESTINATION .)
    endif()
  endforeach()
  if(TARGET r7700update)
    install(FILES ${PROJECT_SOURCE_DIR}/app/resources/update-help.html DESTINATION .)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/tools/examples/product.ini DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/lang.cfg
                ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt
          DESTINATION data)
  install(FILES ${r7700_examples} DESTINATION examples)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x64)
else()
  set(r7700_doc_dir ${CMAKE_INSTALL_DOCDIR})
  foreach(program r7700-update r7700-sim r7700-make-sample-data)
    if(TARGET ${program})
      install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endforeach()
  # The manual pages carry the project's version, as --version and the
  # package name do.
  foreach(program r7700-update r7700-sim r7700-make-sample-data)
    if(TARGET ${program})
      configure_file(${PROJECT_SOURCE_DIR}/packaging/man/${program}.1.in
                     ${CMAKE_BINARY_DIR}/${program}.1 @ONLY)
      install(FILES ${CMAKE_BINARY_DIR}/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()
  install(FILES ${r7700_examples} DESTINATION ${r7700_doc_dir}/examples)
  install(FILES ${PROJECT_SOURCE_DIR}/sim/README.md DESTINATION ${r7700_doc_dir}/docs
          RENAME simulator.md)
  set(CPACK_GENERATOR TGZ)
  set(CPACK_SYSTEM_NAME linux-${CMAKE_SYSTEM_PROCESSOR})
  # The Debian package installs below /usr; its library dependencies come
  # from dpkg-shlibdeps, so they match the system it was built on.
  set(CPACK_DEBIAN_PACKAGE_NAME r7700update)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "r7700update maintainers <maintainers@r7700update.example>")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "r7700-update loads firmware and display languages into R7700 B/C series\n"
      "handheld OTDRs over a serial line. r7700-sim simulates the instrument on\n"
      "a pseudo-terminal, and r7700-make-sample-data writes sample data for it.")
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/debian/prepare.cmake)
  set(CPACK_R7700_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/packaging/debian)
endif()

# README.md links to docs/..., so both keep their places in either package.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${r7700_doc_dir})
install(FILES ${r7700_docs} DESTINATION ${r7700_doc_dir}/docs)

set(CPACK_PACKAGE_NAME r7700update)
set(CPACK_PACKAGE_VENDOR r7700update)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware and language update tool for R7700 OTDRs")
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
