# Each folder of src/ with code is an area: one static library of the folder's .cpp files. An area
# declares the areas it uses, and may include the headers of those, of what they use in turn, and
# its own: nothing else. The compiler holds it to that. The area's only include path into src/ is a
# folder in the build tree with links to just those headers, so an include that points up or
# sideways names a file that is not there. Areas are declared from the bottom up; an area that uses
# one not declared yet is refused, which keeps the uses one-way. src/README.md shows the same table.

# Everything the program's own code includes, for what is not an area (the program, tests,
# benchmarks, fuzzers).
add_library(ovra_source_tree INTERFACE)
target_include_directories(ovra_source_tree INTERFACE ${PROJECT_SOURCE_DIR}/src
    ${PROJECT_BINARY_DIR}/generated)

# ovra_add_area(<target> <folder under src/> [USES <area target>...] [LIBRARIES <library>...])
function(ovra_add_area target dir)
    cmake_parse_arguments(PARSE_ARGV 2 area "" "" "USES;LIBRARIES")
    set(folder ${PROJECT_SOURCE_DIR}/src/${dir})
    file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
    list(FILTER sources EXCLUDE REGEX "/src/main\\.cpp$")
    if(NOT sources)
        # An area may start empty; a static library still needs one translation unit.
        set(placeholder ${PROJECT_BINARY_DIR}/generated/${target}_empty.cpp)
        file(WRITE ${placeholder} "// This area has no code yet.\n")
        set(sources ${placeholder})
    endif()
    add_library(${target} STATIC ${sources})

    set(visible ${dir})
    foreach(used IN LISTS area_USES)
        get_property(declared GLOBAL PROPERTY OVRA_AREA_VISIBLE_${used} SET)
        if(NOT declared)
            message(FATAL_ERROR "${target} uses ${used}, which is not an area declared before it")
        endif()
        get_property(used_visible GLOBAL PROPERTY OVRA_AREA_VISIBLE_${used})
        list(APPEND visible ${used_visible})
    endforeach()
    list(REMOVE_DUPLICATES visible)
    set_property(GLOBAL PROPERTY OVRA_AREA_VISIBLE_${target} ${visible})

    # Made anew at every configure, so a header removed or a use dropped leaves no link behind;
    # the compiler follows the links to the sources, so nothing rebuilds for it.
    set(include_dir ${PROJECT_BINARY_DIR}/areas/${target})
    file(REMOVE_RECURSE ${include_dir})
    foreach(visible_dir IN LISTS visible)
        file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${visible_dir}/*.h)
        file(MAKE_DIRECTORY ${include_dir}/${visible_dir})
        foreach(header IN LISTS headers)
            get_filename_component(name ${header} NAME)
            file(CREATE_LINK ${header} ${include_dir}/${visible_dir}/${name} SYMBOLIC)
        endforeach()
    endforeach()
    # The generated ovra/deployment_config.h may be included anywhere.
    target_include_directories(${target} PRIVATE ${include_dir} ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(${target} PUBLIC ${area_USES} ${area_LIBRARIES} PRIVATE ovra_warnings)
    ovra_precompile_common_headers(${target})
endfunction()
