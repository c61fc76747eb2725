# cmake -DBUILD=... -DPREFIX=... -DFILES="a;b" -P InstallCheck.cmake
# Installs the build into a fresh prefix and checks that the program's files are there.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file IN LISTS FILES)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
message(STATUS "installed: ${FILES}")
