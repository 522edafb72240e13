# Files the program carries inside itself, embedded at build time and found by
# name through dorv::resources::Find (resources/resources.h). Included from the
# top-level CMakeLists.txt so that the generated source belongs to dorv_core.
set(DORV_EMBED_ENTRIES "")
file(GLOB form_files ${CMAKE_SOURCE_DIR}/resources/forms/*.json)
foreach(f ${form_files})
  get_filename_component(n ${f} NAME)
  list(APPEND DORV_EMBED_ENTRIES "forms/${n}=${f}")
  list(APPEND DORV_EMBED_DEPENDS ${f})
endforeach()
list(APPEND DORV_EMBED_ENTRIES
  "firmware/PIC18F87K90.hex=${CMAKE_SOURCE_DIR}/resources/firmware/PIC18F87K90.hex")
list(APPEND DORV_EMBED_DEPENDS ${CMAKE_SOURCE_DIR}/resources/firmware/PIC18F87K90.hex)
# The string tables and pictures.
include(${CMAKE_SOURCE_DIR}/resources/extra.cmake)

set(out ${CMAKE_BINARY_DIR}/generated/resources_data.cpp)
string(REPLACE ";" "|" entries_arg "${DORV_EMBED_ENTRIES}")
add_custom_command(
  OUTPUT ${out}
  COMMAND ${CMAKE_COMMAND} "-DOUT=${out}" "-DENTRIES=${entries_arg}" -P ${CMAKE_SOURCE_DIR}/cmake/embed.cmake
  DEPENDS ${DORV_EMBED_DEPENDS} ${CMAKE_SOURCE_DIR}/cmake/embed.cmake
  COMMENT "Embedding resources"
  VERBATIM)
target_sources(dorv_core PRIVATE ${out} ${CMAKE_SOURCE_DIR}/resources/resources.cpp)
