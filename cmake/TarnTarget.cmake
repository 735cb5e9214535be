# Compile options for the project's own targets. Third-party headers come in as system
# includes, so -Werror applies to our code only. Warnings are errors in the Debug build (the dev
# preset, which ./test and CI use); the optimised build only reports them, because GCC's
# optimiser raises false alarms of its own (-Wrestrict inside std::string at -O3) that would
# otherwise stop ./run from building the product.
function(tarn_target target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor
        -Woverloaded-virtual -Wcast-align -Wnull-dereference $<$<CONFIG:Debug>:-Werror>)
endfunction()
