# Fails when a source file includes a header from a folder above its own in
# the pipeline's order, where each folder may use only those before it.
# Run as: cmake -DSOURCE_DIR=<tree> -P check_layout.cmake
set(order base platform markup device transform interface tools)
set(failures "")
foreach(folder IN LISTS order)
  list(FIND order ${folder} rank)
  file(GLOB sources "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.hpp" "${SOURCE_DIR}/${folder}/*.cpp"
       "${SOURCE_DIR}/${folder}/*.in")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^#include \"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" used "${line}")
      list(FIND order ${used} usedRank)
      if(usedRank GREATER rank)
        string(APPEND failures "  ${source}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "folders include folders above them:\n${failures}")
endif()
