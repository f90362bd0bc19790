# GoogleTest from Debian's source package, cross-compiled with the program's toolchain.
set(TAVRO_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${TAVRO_GTEST_SRC}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${TAVRO_GTEST_SRC} (apt-get install googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY_SAVED ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
add_subdirectory(${TAVRO_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest itself is not ours to keep warning-free, and it needs exceptions off-switches of its own.
foreach(t gtest gtest_main)
  target_compile_options(${t} PRIVATE -w)
endforeach()
