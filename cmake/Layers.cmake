# The program's layers, each the static library sentak_<layer> of src/<layer>, and the check that
# no file includes a header of a layer above its own.

# sentak_layer(<layer> [ON <lower layer>] [EXCEPT <file>...]): the library of src/<layer>'s .cpp
# files for this system (the portable ones, *_<os>.cpp and those of the folder src/<layer>/<os>),
# but for the EXCEPT ones, linking only the layer below. Layers are declared from the lowest up.
function(sentak_layer layer)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "ON" "EXCEPT")
    set(dir ${CMAKE_SOURCE_DIR}/src/${layer})
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/${SENTAK_OS}/*.cpp)
    set(other_systems linux windows)
    list(REMOVE_ITEM other_systems ${SENTAK_OS})
    foreach(system IN LISTS other_systems)
        list(FILTER sources EXCLUDE REGEX "_${system}\\.cpp$")
    endforeach()
    list(TRANSFORM arg_EXCEPT PREPEND ${dir}/)
    list(REMOVE_ITEM sources ${arg_EXCEPT})

    add_library(sentak_${layer} STATIC ${sources})
    target_include_directories(sentak_${layer} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_compile_options(sentak_${layer} PRIVATE ${SENTAK_WARNINGS})
    if(arg_ON)
        target_link_libraries(sentak_${layer} PUBLIC sentak_${arg_ON})
    endif()
    set_property(GLOBAL APPEND PROPERTY SENTAK_LAYERS ${layer})
endfunction()

# Checks the layers declared so far now, and again at every build after a file below src/ has
# changed, before any layer compiles.
function(sentak_check_layers)
    get_property(layers GLOBAL PROPERTY SENTAK_LAYERS)
    string(REPLACE ";" "," layers "${layers}")
    set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check_layers.cmake)
    set(check ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DLAYERS=${layers} -P ${script})
    execute_process(COMMAND ${check} RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "A lower layer includes a higher one's header; see above.")
    endif()

    file(GLOB_RECURSE files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*)
    set(stamp ${CMAKE_BINARY_DIR}/layers.checked)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${check}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${files} ${script}
        COMMENT "Checking that includes point only down the layers"
        VERBATIM)
    add_custom_target(sentak_layer_check DEPENDS ${stamp})
    get_property(layers GLOBAL PROPERTY SENTAK_LAYERS)
    foreach(layer IN LISTS layers)
        add_dependencies(sentak_${layer} sentak_layer_check)
    endforeach()
endfunction()
