# SPDX-License-Identifier: GPL-3.0-or-later
# Where the maintainers are reached: the packages' Maintainer and Homepage, the metainfo's links, the
# copyright's contact, the manual pages' bug address and the about dialog's links all come from these cache
# variables. Until the project has an address and a web site of its own, the defaults are placeholders in
# the reserved .invalid domain, well-formed so that every format that checks them accepts them. A release
# sets them: cmake -DKOVREL_PACKAGE_MAINTAINER="Name <address>" -DKOVREL_HOMEPAGE=https://...
# The generated header kovrel_contacts.h (library kovrel_contacts) hands them to the client.
set(KOVREL_PACKAGE_MAINTAINER
    "Kovrel maintainers (placeholder, set KOVREL_PACKAGE_MAINTAINER) <maintainers@kovrel.invalid>"
    CACHE STRING "NAME <ADDRESS> of the maintainers: the packages' Maintainer, their changelog entry, the \
copyright's contact and the about dialog's mail link. The default is a placeholder (.invalid domain).")
set(KOVREL_HOMEPAGE "https://kovrel.invalid/" CACHE STRING
    "The project's home page: the packages' Homepage, the metainfo, the copyright's Source and the about \
dialog's link. The default is a placeholder (.invalid domain).")
set(KOVREL_BUG_TRACKER "https://kovrel.invalid/issues" CACHE STRING
    "Where bugs are reported: the metainfo's bug tracker and the manual pages. The default is a \
placeholder (.invalid domain).")

if(NOT KOVREL_PACKAGE_MAINTAINER MATCHES "^[^<>]+ <([^<>@ ]+@[^<>@ ]+)>$")
    message(FATAL_ERROR "KOVREL_PACKAGE_MAINTAINER is not NAME <ADDRESS>: ${KOVREL_PACKAGE_MAINTAINER}")
endif()
set(KOVREL_MAINTAINER_ADDRESS "${CMAKE_MATCH_1}")
foreach(url KOVREL_HOMEPAGE KOVREL_BUG_TRACKER)
    if(NOT ${url} MATCHES "^https?://[^ \"<>&]+$")
        message(FATAL_ERROR "${url} is not an http or https address: ${${url}}")
    endif()
endforeach()

configure_file("${CMAKE_CURRENT_LIST_DIR}/kovrel_contacts.h.in"
    "${PROJECT_BINARY_DIR}/generated/kovrel_contacts.h" @ONLY)
add_library(kovrel_contacts INTERFACE)
target_include_directories(kovrel_contacts INTERFACE "${PROJECT_BINARY_DIR}/generated")
