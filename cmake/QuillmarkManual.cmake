# The manual page quillmark(1), made at build time from the README by
# scripts/make-manual (a POSIX shell and awk: nothing to install).
set(QUILLMARK_MANUAL_PAGE ${CMAKE_CURRENT_BINARY_DIR}/quillmark.1)
add_custom_command(OUTPUT ${QUILLMARK_MANUAL_PAGE}
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/scripts/make-manual
          ${CMAKE_CURRENT_SOURCE_DIR}/README.md ${PROJECT_VERSION} > ${QUILLMARK_MANUAL_PAGE}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_SOURCE_DIR}/scripts/make-manual
  COMMENT "Making the manual page quillmark.1 from README.md")
add_custom_target(quillmark_manual ALL DEPENDS ${QUILLMARK_MANUAL_PAGE})
