# Files the program carries inside itself, embedded at build time and found by
# name through dorv::resources::Find (resources/resources.h). Included from the
# top-level CMakeLists.txt; the generated source belongs to dorv_resources.
set(DORV_EMBED_ENTRIES "")
file(GLOB form_files ${CMAKE_SOURCE_DIR}/resources/forms/*.json)
foreach(f ${form_files})
  get_filename_component(n ${f} NAME)
  list(APPEND DORV_EMBED_ENTRIES "forms/${n}=${f}")
  list(APPEND DORV_EMBED_DEPENDS ${f})
endforeach()

# The C++ side of each form design: its controls as members, their look-up
# and the wiring of the events the design names (dorv-gen-form-controls,
# tools/), for the form classes to derive from.
set(dorv_form_headers "")
foreach(f ${form_files})
  get_filename_component(n ${f} NAME_WE)
  set(h ${CMAKE_BINARY_DIR}/generated/forms/${n}_controls.h)
  add_custom_command(
    OUTPUT ${h}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/forms
    COMMAND dorv-gen-form-controls ${f} ${h}
    DEPENDS dorv-gen-form-controls ${f}
    COMMENT "Form controls of ${n}"
    VERBATIM)
  list(APPEND dorv_form_headers ${h})
endforeach()
add_custom_target(dorv_form_controls DEPENDS ${dorv_form_headers})

# The firmware image. The repository carries a generated test image, right for
# the simulated logger only; a build for real loggers is given the maker's
# release image. Either is checked by dorv-check-firmware (the program's own
# image check) and embedded only when sound; a release image must also differ
# from the test image. The program learns which one it carries from
# generated/firmware_release.h.
set(DORV_FIRMWARE_IMAGE "" CACHE FILEPATH
    "The maker's release firmware image (Intel HEX) to embed; empty embeds the generated test image")
set(dorv_test_firmware ${CMAKE_SOURCE_DIR}/resources/firmware/PIC18F87K90.hex)
set(dorv_checked_firmware ${CMAKE_BINARY_DIR}/generated/firmware/PIC18F87K90.hex)
if(DORV_FIRMWARE_IMAGE)
  get_filename_component(dorv_firmware_source "${DORV_FIRMWARE_IMAGE}" ABSOLUTE)
  if(NOT EXISTS "${dorv_firmware_source}" OR IS_DIRECTORY "${dorv_firmware_source}")
    message(FATAL_ERROR "DORV_FIRMWARE_IMAGE: no such file: ${dorv_firmware_source}")
  endif()
  set(dorv_firmware_release true)
  set(dorv_firmware_check_args ${dorv_firmware_source} ${dorv_checked_firmware}
                               ${dorv_test_firmware})
  message(STATUS "Firmware image: release image ${dorv_firmware_source}")
else()
  set(dorv_firmware_source ${dorv_test_firmware})
  set(dorv_firmware_release false)
  set(dorv_firmware_check_args ${dorv_firmware_source} ${dorv_checked_firmware})
endif()
configure_file(${CMAKE_SOURCE_DIR}/cmake/firmware_release.h.in
               ${CMAKE_BINARY_DIR}/generated/firmware_release.h @ONLY)
add_custom_command(
  OUTPUT ${dorv_checked_firmware}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/firmware
  COMMAND dorv-check-firmware ${dorv_firmware_check_args}
  DEPENDS dorv-check-firmware ${dorv_firmware_source} ${dorv_test_firmware}
  COMMENT "Checking the firmware image"
  VERBATIM)
add_custom_target(dorv_firmware_image DEPENDS ${dorv_checked_firmware})
list(APPEND DORV_EMBED_ENTRIES "firmware/PIC18F87K90.hex=${dorv_checked_firmware}")
list(APPEND DORV_EMBED_DEPENDS ${dorv_checked_firmware})
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
# Targets of their own, so that the embedding's steps run once whatever needs
# them (and can be built alone).
add_custom_target(dorv_embedded_resources DEPENDS ${out})
add_dependencies(dorv_embedded_resources dorv_firmware_image)
add_dependencies(dorv_resources dorv_embedded_resources)
target_sources(dorv_resources PRIVATE ${out} ${CMAKE_SOURCE_DIR}/resources/resources.cpp)
add_dependencies(dorv_forms dorv_form_controls)
