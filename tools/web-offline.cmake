# Writes a site's service worker, sw.js, from its template: the files it keeps for offline use,
# and a cache named after the build, a digest of every one of them, so that any change to the
# site makes a new worker whose cache replaces the kept one.
# cmake -DSITE_DIR=site "-DFILES=index.html;page.js;..." -DTEMPLATE=src/web/site/sw.js -P tools/web-offline.cmake
set(digests "")
set(quoted "")
foreach(file IN LISTS FILES)
  if(NOT EXISTS ${SITE_DIR}/${file})
    message(FATAL_ERROR "the site has no ${file} to keep")
  endif()
  file(SHA256 ${SITE_DIR}/${file} digest)
  string(APPEND digests "${file} ${digest}\n")
  string(APPEND quoted "'${file}', ")
endforeach()
string(SHA256 build "${digests}")
string(SUBSTRING ${build} 0 16 build)
string(REGEX REPLACE ", $" "" quoted "${quoted}")

file(READ ${TEMPLATE} worker)
string(REGEX REPLACE "const SITE = [^\n]*"
  "const SITE = { cache: 'frimel-${build}', files: ['./', ${quoted}] };  // written by the build"
  worker "${worker}")
include(${CMAKE_CURRENT_LIST_DIR}/write-if-changed.cmake)
write_if_changed(${SITE_DIR}/sw.js "${worker}")
