# The version header, Version.h, made from the project's version. Link marlowin_version and
# write #include "Version.h" to use MARLOWIN_VERSION (and its parts, for version resources).
set(MARLOWIN_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in ${MARLOWIN_GENERATED_DIR}/Version.h @ONLY)
add_library(marlowin_version INTERFACE)
target_include_directories(marlowin_version INTERFACE ${MARLOWIN_GENERATED_DIR})
