# The window icon, compiled in as pictures rendered from the SVG at build time, so that the program
# needs neither SVG support nor an image decoder to start. The sizes are those Qt hands the window
# manager for a scalable icon; FormMain registers the resources, as a static library must.
find_package(Qt6 REQUIRED COMPONENTS Svg)
add_executable(tarn_render_icon resources/RenderIcon.cpp)
target_link_libraries(tarn_render_icon PRIVATE Qt6::Gui Qt6::Svg)
tarn_target(tarn_render_icon)

set(tarn_icon_svg "${PROJECT_SOURCE_DIR}/packaging/icons/com.marlin.Tarnwell.svg")
set(tarn_icon_dir "${CMAKE_CURRENT_BINARY_DIR}/window-icon")
set(tarn_icon_sizes 16 32 64 128)
set(tarn_icon_pictures)
foreach(size ${tarn_icon_sizes})
    list(APPEND tarn_icon_pictures "${tarn_icon_dir}/${size}x${size}.rgba")
endforeach()
add_custom_command(
    OUTPUT ${tarn_icon_pictures}
    COMMAND ${CMAKE_COMMAND} -E make_directory "${tarn_icon_dir}"
    # A sanitized build of the tool must not fail the build over Qt's own leaks at exit.
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:tarn_render_icon> "${tarn_icon_svg}" "${tarn_icon_dir}" ${tarn_icon_sizes}
    DEPENDS tarn_render_icon "${tarn_icon_svg}"
    COMMENT "Rendering the window icon"
    VERBATIM)
configure_file(resources/tarnwell.qrc "${tarn_icon_dir}/tarnwell.qrc" COPYONLY)
qt_add_resources(TARN_UI_RESOURCES "${tarn_icon_dir}/tarnwell.qrc")
target_sources(tarn_ui PRIVATE ${TARN_UI_RESOURCES})
