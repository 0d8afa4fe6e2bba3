# The stand-in plays the other side: it reads its list and words its reports with code of its
# own, so that Vantrel's reading of lists and reports is tested against something that could
# disagree with it. Nothing of Vantrel's job logic or network check may come in, not even a
# header.
file(GLOB standin_sources ${CMAKE_CURRENT_LIST_DIR}/*.cpp ${CMAKE_CURRENT_LIST_DIR}/*.h)
foreach(source IN LISTS standin_sources)
  file(STRINGS ${source} job_includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](job|network)/")
  if(job_includes)
    message(FATAL_ERROR "The stand-in must not use Vantrel's job logic or network check: ${source} has ${job_includes}")
  endif()
endforeach()
