# The Debian package (scripts/package.sh builds it: cpack -G DEB). Its dependencies are
# computed by dpkg-shlibdeps from the libraries the binary links; the Qt platform plugin it
# also needs ships in libqt6gui6, which the binary links. Besides what `cmake --install`
# puts in place, it carries the Debian copyright file, the changelog and the manual page.

set(VOLARO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/volaro)
set(VOLARO_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)

# Dates in the changelog are RFC 2822 dates of the release day.
execute_process(COMMAND date -u -R -d "${VOLARO_RELEASE_DATE} 12:00"
    OUTPUT_VARIABLE VOLARO_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
configure_file(${PROJECT_SOURCE_DIR}/data/debian/changelog.in ${VOLARO_PACKAGE_DIR}/changelog @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/data/volaro.1.in ${VOLARO_PACKAGE_DIR}/volaro.1 @ONLY)
# Compressed without names or times, so the same sources give the same package.
add_custom_command(OUTPUT ${VOLARO_PACKAGE_DIR}/changelog.gz ${VOLARO_PACKAGE_DIR}/volaro.1.gz
    COMMAND gzip -9nkf changelog volaro.1
    WORKING_DIRECTORY ${VOLARO_PACKAGE_DIR}
    DEPENDS ${VOLARO_PACKAGE_DIR}/changelog ${VOLARO_PACKAGE_DIR}/volaro.1)
add_custom_target(volaro_package_docs ALL
    DEPENDS ${VOLARO_PACKAGE_DIR}/changelog.gz ${VOLARO_PACKAGE_DIR}/volaro.1.gz)

install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${VOLARO_PACKAGE_DIR}/changelog.gz
    DESTINATION ${VOLARO_DOC_DIR})
install(FILES ${VOLARO_PACKAGE_DIR}/volaro.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME volaro)
set(CPACK_PACKAGE_VENDOR "The Volaro developers")
set(CPACK_PACKAGE_CONTACT "The Volaro developers <info@volaro.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "DJ-style music player with transitions between songs")
set(CPACK_PACKAGE_DESCRIPTION
    "Volaro plays a playlist of MP3 and WAV songs in order or in shuffle mode and
moves from one song to the next with a timed transition over two decks, so
that both songs can sound at once while the volumes move. It offers five
transition types, trimming of the start and end of every song, M3U lists,
drag and drop, a search window that finds music on disk, and media keys
through MPRIS.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://volaro.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Folders as Debian installs them, whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
