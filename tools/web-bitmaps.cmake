# Copies the eight bitmaps of the native build into the browser build's site, drawing them first
# with the native make_bitmaps when needed. The native build in build/ is used when there is one;
# otherwise the browser build keeps a small native build of its own (no tests).
# cmake -DSOURCE_DIR=repo -DSITE_DIR=site -DOWN_NATIVE_DIR=dir -P tools/web-bitmaps.cmake
set(native ${SOURCE_DIR}/build)
if(NOT EXISTS ${native}/CMakeCache.txt)
  set(native ${OWN_NATIVE_DIR})
  if(NOT EXISTS ${native}/CMakeCache.txt)
    # An emscripten environment (emmake) must not leak into the native compiler choice.
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=CC --unset=CXX
        ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${native} -G Ninja -DBUILD_TESTING=OFF
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${native} --target bitmaps
  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
set(bitmaps background.bmp white.bmp ice.bmp ice2.bmp ice3.bmp ice4.bmp ice5.bmp snow.bmp)
list(TRANSFORM bitmaps PREPEND ${native}/data/)
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${bitmaps} ${SITE_DIR}
  COMMAND_ERROR_IS_FATAL ANY)
