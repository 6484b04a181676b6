# SPDX-License-Identifier: GPL-3.0-or-later
# kovrel_version: the generated header kovrel_version.h, which holds the project() version as
# kovrel::kVersion. Plain C++, so that every program and library can link it.
configure_file("${CMAKE_CURRENT_LIST_DIR}/kovrel_version.h.in" "${PROJECT_BINARY_DIR}/generated/kovrel_version.h"
    @ONLY)
add_library(kovrel_version INTERFACE)
target_include_directories(kovrel_version INTERFACE "${PROJECT_BINARY_DIR}/generated")

# The day the version above was released: the date of the manual pages, the AppStream release and the
# package's changelog entry.
set(KOVREL_RELEASE_DATE 2026-12-08)
