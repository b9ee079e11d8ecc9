# Copies SOURCE to TARGET unless TARGET exists: settings a user has changed are never replaced.
if(EXISTS "${TARGET}")
  message(STATUS "Kept as it is: ${TARGET}")
else()
  get_filename_component(folder "${TARGET}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${SOURCE}" "${TARGET}")
  message(STATUS "Default settings: ${TARGET}")
endif()
