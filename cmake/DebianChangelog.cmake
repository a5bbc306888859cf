# lm_changelog_top_entry(FILE VERSION REVISION_VAR DATE_VAR): reads the top entry of the Debian
# changelog FILE, which must be "PACKAGE (VERSION-REVISION) ...", and sets REVISION_VAR to its
# revision and DATE_VAR to its date as YYYY-MM-DD. A top entry of another version stops the
# configuration: a new version is not packaged without its changelog entry.
function(lm_changelog_top_entry file version revision_var date_var)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  file(STRINGS ${file} lines)
  list(GET lines 0 top)
  string(REPLACE "." "\\." version_pattern ${version})
  if(NOT top MATCHES "^[a-z0-9.+-]+ \\(${version_pattern}-([0-9]+)\\) ")
    message(FATAL_ERROR "${file} begins \"${top}\": its top entry must be of version ${version}-N "
                        "(the project's version, the package's revision)")
  endif()
  set(${revision_var} ${CMAKE_MATCH_1} PARENT_SCOPE)

  list(FILTER lines INCLUDE REGEX "^ -- ")
  list(GET lines 0 trailer)  # the top entry's
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  if(NOT trailer MATCHES ">  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "${file}: no date such as \"Tue, 08 Dec 2026\" in \"${trailer}\"")
  endif()
  set(day ${CMAKE_MATCH_1})
  set(year ${CMAKE_MATCH_3})
  list(FIND months ${CMAKE_MATCH_2} month)
  if(month LESS 0)
    message(FATAL_ERROR "${file}: \"${CMAKE_MATCH_2}\" is not a month, in \"${trailer}\"")
  endif()
  math(EXPR month "${month} + 1")
  if(month LESS 10)
    set(month 0${month})
  endif()
  set(${date_var} ${year}-${month}-${day} PARENT_SCOPE)
endfunction()
