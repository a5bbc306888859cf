# Stops when a source of a core layer includes a layer it does not reach. Used by lm_layer at
# configure (include) and by each layer's build (cmake -P), so an upward include fails a
# developer's incremental build without a reconfigure.
#   LM_LAYER        the layer's name
#   LM_SOURCES      its files, comma-separated
#   LM_REACH        the layers it may include, comma-separated (itself and those below it)
#   LM_STAMP        (build only) the file written when the check passes
cmake_policy(VERSION 3.25)
string(REPLACE "," ";" lm_reach "${LM_REACH}")
string(REPLACE "," ";" lm_sources "${LM_SOURCES}")
foreach(lm_source IN LISTS lm_sources)
  file(STRINGS ${lm_source} lm_includes REGEX "^#include \"core/[A-Za-z]+/")
  foreach(lm_line IN LISTS lm_includes)
    string(REGEX REPLACE "^#include \"core/([A-Za-z]+)/.*" "\\1" lm_included "${lm_line}")
    if(NOT lm_included IN_LIST lm_reach)
      message(FATAL_ERROR "${lm_source}: the ${LM_LAYER} layer may not include ${lm_included} "
                          "(${lm_line}); it reaches only: ${LM_REACH}")
    endif()
  endforeach()
endforeach()
if(LM_STAMP)
  file(TOUCH ${LM_STAMP})
endif()
