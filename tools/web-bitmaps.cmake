# Ships the eight bitmaps of the native build in a browser site, gzip'd as the program's code is
# (the page unpacks them before the program starts), drawing them first with the native
# make_bitmaps when needed; draws the site's icons with the native make_icon; and writes site.js,
# a module the page imports: the bitmaps' names, from src/textures/bitmaps.txt, and what each
# download weighs.
# The native build in build/ is used when there is one; otherwise the browser build keeps a
# small native build of its own (no tests).
# cmake -DSOURCE_DIR=repo -DSITE_DIR=site -DPROGRAM_DIR=dir -DOWN_NATIVE_DIR=dir -P tools/web-bitmaps.cmake
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
execute_process(COMMAND ${CMAKE_COMMAND} --build ${native} --target bitmaps make_icon
  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)

# The installed app's icons: the desktop's own, drawn at the sizes a home screen asks for.
foreach(size 192 512)
  set(icon ${SITE_DIR}/icon-${size}.png)
  if(NOT EXISTS ${icon} OR ${native}/make_icon IS_NEWER_THAN ${icon} OR ${native}/data/ice.bmp IS_NEWER_THAN ${icon})
    execute_process(COMMAND ${native}/make_icon ${native}/data/snow.bmp ${native}/data/ice.bmp ${size} ${icon}
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()

file(STRINGS ${SOURCE_DIR}/src/textures/bitmaps.txt bitmaps)
set(names "")
set(downloads "")
foreach(name IN LISTS bitmaps)
  set(packed ${SITE_DIR}/${name}.gz)
  if(NOT EXISTS ${packed} OR ${native}/data/${name} IS_NEWER_THAN ${packed})
    file(ARCHIVE_CREATE OUTPUT ${packed} PATHS ${native}/data/${name} FORMAT raw
      COMPRESSION GZip COMPRESSION_LEVEL 9)
  endif()
  # A site assembled before the bitmaps were packed still has them as they are.
  file(REMOVE ${SITE_DIR}/${name})
  string(APPEND names "'${name}', ")
endforeach()
# The program: its script and its code gzip'd (the page unpacks both, the code for emscripten's
# loader). What a site assembled before still has unpacked goes.
foreach(file frimel.js frimel.wasm)
  if(NOT EXISTS ${SITE_DIR}/${file}.gz OR ${PROGRAM_DIR}/${file} IS_NEWER_THAN ${SITE_DIR}/${file}.gz)
    file(ARCHIVE_CREATE OUTPUT ${SITE_DIR}/${file}.gz PATHS ${PROGRAM_DIR}/${file} FORMAT raw
      COMPRESSION GZip COMPRESSION_LEVEL 9)
  endif()
  file(REMOVE ${SITE_DIR}/${file})
endforeach()
file(REMOVE ${SITE_DIR}/bitmaps.js)
foreach(name IN LISTS bitmaps ITEMS frimel.js frimel.wasm)
  file(SIZE ${SITE_DIR}/${name}.gz bytes)
  string(APPEND downloads "'${name}.gz': ${bytes}, ")
endforeach()
string(REGEX REPLACE ", $" "" names "${names}")
string(REGEX REPLACE ", $" "" downloads "${downloads}")
set(list_js "// Written by the build: the bitmaps the program reads (src/textures/bitmaps.txt), and the
// bytes of each packed download, for the loading progress.
export const bitmaps = [${names}];
export const downloads = { ${downloads} };
")
include(${CMAKE_CURRENT_LIST_DIR}/write-if-changed.cmake)
write_if_changed(${SITE_DIR}/site.js "${list_js}")
