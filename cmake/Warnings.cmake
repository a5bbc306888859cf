# Applies the house warning set to a target.
function(lm_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wcast-align -Woverloaded-virtual
                                           -Wimplicit-fallthrough)
  if(LM_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
