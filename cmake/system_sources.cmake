# The system's sources, shared by the launcher build and the fuzzing build: every .cpp of the
# subsystem folders, plus our own stand-ins off Windows. The entry point belongs to the
# executable, not to the library.
function(zelmora_system_sources out_var root)
  set(sources)
  foreach(folder IN ITEMS core net fs win32 cache launcher)
    file(GLOB folder_sources CONFIGURE_DEPENDS ${root}/${folder}/*.cpp)
    list(APPEND sources ${folder_sources})
  endforeach()
  list(REMOVE_ITEM sources ${root}/launcher/main.cpp)
  if(NOT WIN32)
    file(GLOB platform_sources CONFIGURE_DEPENDS ${root}/platform/posix/*.cpp)
    list(APPEND sources ${platform_sources})
  endif()
  set(${out_var} ${sources} PARENT_SCOPE)
endfunction()
