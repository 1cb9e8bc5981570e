# qv_add_subdirectories(): add every direct sub-folder that holds a CMakeLists.txt, in name order.
# Each sub-folder decides itself whether it builds natively (if(NOT WIN32) return()).
function(qv_add_subdirectories)
  file(GLOB entries LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT entries)
  foreach(dir IN LISTS entries)
    if(IS_DIRECTORY ${dir} AND EXISTS ${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
