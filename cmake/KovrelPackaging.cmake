# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian packages, built by CPack from the install components of dist/CMakeLists.txt:
# `kovrel` (the client) and `kovrel-server` (the server, the tools and the systemd unit). Their Depends
# come from dpkg-shlibdeps, plus the Qt plugins the client loads without linking their library.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kovrel)
set(CPACK_PACKAGE_VENDOR "The Kovrel authors")
set(CPACK_PACKAGE_HOMEPAGE_URL "${KOVREL_HOMEPAGE}")
# The prefix the build was configured for (scripts/package: /usr), which the unit's ExecStart and the
# client's installed program path already name.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL client server)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KOVREL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME ${KOVREL_PACKAGE_client})
# Every picture of the client is SVG, drawn by the icon engine plugin of libqt6svg6; the X11 platform
# plugin comes with libqt6gui6, which the client links.
set(CPACK_DEBIAN_CLIENT_PACKAGE_DEPENDS "libqt6svg6 (>= 6.4)")
# Qt's own dialogs in Russian, and the sound played when a message arrives.
set(CPACK_DEBIAN_CLIENT_PACKAGE_RECOMMENDS "qt6-translations-l10n, sound-theme-freedesktop")
set(CPACK_COMPONENT_CLIENT_DESCRIPTION "desktop client for small text-chat servers
Kovrel is a desktop chat client with a Russian interface. Everybody logged in
to the same Kovrel server shares one common conversation and can talk
privately with any other user. Conversation logs are saved as RTF; fonts,
colours and keyboard macros can be set up.")

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME ${KOVREL_PACKAGE_server})
set(CPACK_COMPONENT_SERVER_DESCRIPTION "chat server for Kovrel clients
kovrel-server serves one common conversation to every Kovrel client that logs
in, passes private messages and keeps the topic and personal cards. It comes
with a hardened systemd unit, kovrel-wire, which encodes and decodes captured
traffic, and kovrel-bench, a load generator.")
# Its maintainer scripts: systemd is told of the unit, a removal stops the server, a purge deletes its state.
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    "${PROJECT_SOURCE_DIR}/dist/debian/kovrel-server/postinst"
    "${PROJECT_SOURCE_DIR}/dist/debian/kovrel-server/prerm"
    "${PROJECT_SOURCE_DIR}/dist/debian/kovrel-server/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
