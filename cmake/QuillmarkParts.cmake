# One configure line per part of the build: "built", or "skipped" and why.
#
#   quillmark_part(NAME BUILT OPTION NEEDS)
#
# NAME is what the line calls the part, BUILT whether it is built, OPTION the
# option that switches it (empty for parts that are always built) and NEEDS
# the packages it was looking for. A part switched off by its option is a
# choice; a part that is switched on but cannot be built is an error under
# QUILLMARK_REQUIRE_ALL.
function(quillmark_part name built option needs)
  if(built)
    message(STATUS "Quillmark ${name}: built")
  elseif(option AND NOT ${option})
    message(STATUS "Quillmark ${name}: skipped (${option}=OFF)")
  elseif(QUILLMARK_REQUIRE_ALL)
    message(FATAL_ERROR "Quillmark ${name}: cannot be built: needs ${needs} (QUILLMARK_REQUIRE_ALL=ON)")
  else()
    message(STATUS "Quillmark ${name}: skipped (needs ${needs}; see ./scripts/setup --help)")
  endif()
endfunction()
