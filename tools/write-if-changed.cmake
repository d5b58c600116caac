# write_if_changed(FILE CONTENT): writes a generated file only when its content changes, so that
# what depends on it is not rebuilt for nothing. Included by the site's build scripts.
function(write_if_changed file content)
  set(old "")
  if(EXISTS ${file})
    file(READ ${file} old)
  endif()
  if(NOT old STREQUAL content)
    file(WRITE ${file} "${content}")
  endif()
endfunction()
