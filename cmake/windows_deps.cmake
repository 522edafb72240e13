# The libraries of the Windows build, from what Debian ships for the build
# machine: nlohmann-json is header-only and used from /usr/include through a
# directory of its own (the rest of /usr/include is Linux's); GoogleTest is
# built from the source of Debian's googletest package.
set(DORV_JSON_INCLUDE ${CMAKE_BINARY_DIR}/third_party/include)
if(NOT EXISTS /usr/include/nlohmann/json.hpp)
  message(FATAL_ERROR "nlohmann/json.hpp not found (Debian package nlohmann-json3-dev)")
endif()
file(MAKE_DIRECTORY ${DORV_JSON_INCLUDE})
file(CREATE_LINK /usr/include/nlohmann ${DORV_JSON_INCLUDE}/nlohmann SYMBOLIC)
add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE ${DORV_JSON_INCLUDE})
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)

if(BUILD_TESTING)
  set(DORV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source (Debian package googletest)")
  if(NOT EXISTS ${DORV_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest source not found in ${DORV_GTEST_SOURCE} (Debian package googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${DORV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # GoogleTest names its targets GTest::gtest, GTest::gtest_main, GTest::gmock.
endif()

# The Windows headers without their min/max macros and rarely used parts,
# for Windows 10 and later; localtime_r from the C runtime's POSIX functions;
# object files with more sections than COFF's default allows (the embedded
# resources); the C runtime's printf of the C standard (%zu).
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0A00
                        _POSIX_THREAD_SAFE_FUNCTIONS __USE_MINGW_ANSI_STDIO=1)
add_compile_options(-Wa,-mbig-obj)
