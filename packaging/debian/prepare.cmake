# Run by CPack before it packs (CPACK_PRE_BUILD_SCRIPTS). For the Debian
# package only: the manual pages compressed, and the copyright file and the
# changelog that every Debian package carries in its documentation folder.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(root ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
file(GLOB manual_pages ${root}/share/man/man1/*.1)
foreach(page ${manual_pages})
  execute_process(COMMAND gzip -9n ${page} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
set(doc_dir ${root}/share/doc/${CPACK_DEBIAN_PACKAGE_NAME})
file(COPY ${CPACK_R7700_DEBIAN_DIR}/copyright DESTINATION ${doc_dir})
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${doc_dir}/changelog
     "${CPACK_DEBIAN_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
     "  * Release ${CPACK_PACKAGE_VERSION}.\n\n"
     " -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${date}\n")
execute_process(COMMAND gzip -9n ${doc_dir}/changelog COMMAND_ERROR_IS_FATAL ANY)
