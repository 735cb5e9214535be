# Compile options for the project's own targets. Third-party headers come in as system
# includes, so -Werror applies to our code only.
function(tarn_target target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor
        -Woverloaded-virtual -Wcast-align -Wnull-dereference -Werror)
endfunction()
