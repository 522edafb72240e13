# The serial layer's string tables: built from their text sources by
# dorv-gen-string-table (tools/) and embedded as strings/<NAME>.
set(dorv_string_dir ${CMAKE_BINARY_DIR}/generated/strings)
foreach(table STRTABLE_STRINGS SERIAL_ERROR_STRINGS_ENGLISH)
  set(src ${CMAKE_SOURCE_DIR}/resources/strings/${table}.txt)
  set(bin ${dorv_string_dir}/${table}.str0)
  add_custom_command(
    OUTPUT ${bin}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dorv_string_dir}
    COMMAND dorv-gen-string-table ${src} ${bin}
    DEPENDS dorv-gen-string-table ${src}
    COMMENT "String table ${table}"
    VERBATIM)
  list(APPEND DORV_EMBED_ENTRIES "strings/${table}=${bin}")
  list(APPEND DORV_EMBED_DEPENDS ${bin})
endforeach()

# The front end's pictures (the connection state pictures of the main window).
file(GLOB dorv_image_files ${CMAKE_SOURCE_DIR}/resources/images/*.png)
foreach(f ${dorv_image_files})
  get_filename_component(n ${f} NAME)
  list(APPEND DORV_EMBED_ENTRIES "images/${n}=${f}")
  list(APPEND DORV_EMBED_DEPENDS ${f})
endforeach()
