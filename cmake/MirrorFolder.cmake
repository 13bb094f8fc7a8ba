# cmake -DBASE=<folder> -DOVERLAY=<folder> -P MirrorFolder.cmake
# Makes OVERLAY show everything of BASE, keeping its own files: every file of BASE
# that OVERLAY lacks becomes a symbolic link to it there; folders are real folders
# in OVERLAY, so a file of OVERLAY's own may sit beside links at any depth. Links
# whose file has gone from BASE are removed.
function(mirror base overlay)
  file(MAKE_DIRECTORY ${overlay})
  file(GLOB own LIST_DIRECTORIES true RELATIVE ${overlay} ${overlay}/*)
  foreach(name IN LISTS own)
    if(IS_SYMLINK ${overlay}/${name} AND NOT EXISTS ${base}/${name})
      file(REMOVE ${overlay}/${name})
    endif()
  endforeach()
  file(GLOB entries LIST_DIRECTORIES true RELATIVE ${base} ${base}/*)
  foreach(name IN LISTS entries)
    set(from ${base}/${name})
    set(to ${overlay}/${name})
    if(IS_DIRECTORY ${from})
      if(IS_SYMLINK ${to})
        file(REMOVE ${to})
      endif()
      mirror(${from} ${to})
    elseif(NOT EXISTS ${to} AND NOT IS_SYMLINK ${to})
      file(CREATE_LINK ${from} ${to} SYMBOLIC)
    endif()
  endforeach()
endfunction()

mirror(${BASE} ${OVERLAY})
