# The firmware image as a build input, in a build of its own (only the
# embedding's targets are built): a release image given through
# DORV_FIRMWARE_IMAGE is embedded and the program told so; a damaged image,
# or the generated test image passed off as a release, fails the build with
# the image check's message.
#   cmake -DSOURCE_DIR=... -DWORK=... -DGENERATOR=... -DCXX=... -DGEN_FIRMWARE=... -P this
set(build ${WORK}/build)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(test_image ${SOURCE_DIR}/resources/firmware/PIC18F87K90.hex)

function(fail what)
  message(FATAL_ERROR "${what}")
endfunction()

# Configures the separate build with IMAGE and builds the embedded resources;
# OK is the build's success, OUT what it printed.
function(build_with image ok_var out_var)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -G ${GENERATOR}
            -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Debug -DDORV_WITH_QT=OFF
            -DDORV_FIRMWARE_IMAGE=${image}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    fail("configure failed with ${image}:\n${out}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} --target dorv_embedded_resources
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(rc EQUAL 0)
    set(${ok_var} TRUE PARENT_SCOPE)
  else()
    set(${ok_var} FALSE PARENT_SCOPE)
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

# 16 bytes of a file from the program memory records, as the embedded source
# writes them.
function(embedded_form file var)
  file(READ ${file} hex OFFSET 200 LIMIT 16 HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(${var} "${bytes}" PARENT_SCOPE)
endfunction()

# A sound image that is not the test image: the generator with another seed.
set(release ${WORK}/release.hex)
execute_process(COMMAND ${GEN_FIRMWARE} --seed 7 ${release} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  fail("dorv-gen-firmware failed")
endif()
build_with(${release} ok out)
if(NOT ok)
  fail("a sound release image failed the build:\n${out}")
endif()
file(READ ${build}/generated/firmware_release.h header)
if(NOT header MATCHES "kFirmwareImageIsRelease = true;")
  fail("the program is not told it carries a release image:\n${header}")
endif()
file(READ ${build}/generated/resources_data.cpp embedded)
embedded_form(${release} release_bytes)
embedded_form(${test_image} test_bytes)
string(FIND "${embedded}" "${release_bytes}" at_release)
string(FIND "${embedded}" "${test_bytes}" at_test)
if(at_release EQUAL -1 OR NOT at_test EQUAL -1)
  fail("the embedded image is not the release image given")
endif()

# A damaged release image: the checksum of the configuration record (the same
# in every generated image) wrong.
file(READ ${release} text)
set(record ":0E00000015181800008991000FC00FE00F4086")
string(FIND "${text}" "${record}" at)
if(at EQUAL -1)
  fail("no configuration record in the release image")
endif()
string(REPLACE "${record}" ":0E00000015181800008991000FC00FE00F4000" text "${text}")
set(damaged ${WORK}/damaged.hex)
file(WRITE ${damaged} "${text}")
# The generated test image under the name of a release image.
set(copied ${WORK}/copied.hex)
file(COPY_FILE ${test_image} ${copied})

foreach(case "damaged|行 3037: チェックサムが違います" "copied|生成したテスト用のイメージです")
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 name)
  list(GET case 1 expected)
  build_with(${WORK}/${name}.hex ok out)
  if(ok)
    fail("${name}: the build succeeded")
  endif()
  string(FIND "${out}" "${expected}" at)
  if(at EQUAL -1)
    fail("${name}: the build did not say \"${expected}\":\n${out}")
  endif()
  # Nothing is left to embed, not even the image of the build before.
  if(EXISTS ${build}/generated/firmware/PIC18F87K90.hex)
    fail("${name}: an image was left for embedding")
  endif()
endforeach()
message(STATUS "firmware image build checks passed")
