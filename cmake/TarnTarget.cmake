# Compile options for the project's own targets. Third-party headers come in as system
# includes, so -Werror applies to our code only.
#
# The warning set is tuned for the GCC builds; the clang fuzz build turns TARN_WERROR off, since
# clang's -Wconversion also warns on sign conversions.
option(TARN_WERROR "Treat warnings in the project's own code as errors" ON)

function(tarn_target target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor
        -Woverloaded-virtual -Wcast-align -Wnull-dereference)
    if(TARN_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
