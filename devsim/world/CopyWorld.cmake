# Copies the sample world (SOURCE) to DEST after checking that every file an
# update catalogue lists is there with the MD5 the catalogue gives.
file(GLOB catalogues ${SOURCE}/updateserver/IPC/*/versionlist_new.txt)
foreach(catalogue IN LISTS catalogues)
  get_filename_component(folder ${catalogue} DIRECTORY)
  file(READ ${catalogue} text)
  # ";" separates CMake list items, so the catalogue's ";" becomes "|" first.
  string(REPLACE ";" "|" text "${text}")
  string(REGEX MATCHALL "Name=[^|]*[|]md5=[^&]*&[|]" items "${text}")
  foreach(item IN LISTS items)
    string(REGEX REPLACE "Name=([^|]*)[|]md5=([^&]*)&[|]" "\\1" name "${item}")
    string(REGEX REPLACE "Name=([^|]*)[|]md5=([^&]*)&[|]" "\\2" listed "${item}")
    if(NOT EXISTS ${folder}/${name}.patch)
      message(FATAL_ERROR "${catalogue} lists ${name}, but ${name}.patch is missing")
    endif()
    file(MD5 ${folder}/${name}.patch actual)
    if(NOT actual STREQUAL listed)
      message(FATAL_ERROR "${catalogue}: ${name} has MD5 ${actual}, the catalogue says ${listed}")
    endif()
  endforeach()
endforeach()

file(COPY ${SOURCE}/ DESTINATION ${DEST}
     PATTERN CMakeLists.txt EXCLUDE
     PATTERN *.cmake EXCLUDE
     PATTERN *.py EXCLUDE
     PATTERN tests EXCLUDE)
