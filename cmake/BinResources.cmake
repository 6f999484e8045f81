# kit_embed_resources(target TYPE ID LANGUAGE FILE [TYPE ID LANGUAGE FILE ...])
# Links data files into a binary as resources found by (type name, integer id).
# On Windows they go through an .rc file; on POSIX hosts through a generated
# source that hands them to the port's resource table of the program image.
set(KIT_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/embed_blob.cmake)

function(kit_embed_resources target)
    set(entries ${ARGN})
    list(LENGTH entries count)
    math(EXPR remainder "${count} % 4")
    if(count EQUAL 0 OR NOT remainder EQUAL 0)
        message(FATAL_ERROR "kit_embed_resources: give TYPE ID LANGUAGE FILE groups")
    endif()
    set(files "")
    set(rc "")
    math(EXPR last "${count} - 1")
    foreach(i RANGE 0 ${last} 4)
        math(EXPR j1 "${i} + 1")
        math(EXPR j2 "${i} + 2")
        math(EXPR j3 "${i} + 3")
        list(GET entries ${i} type)
        list(GET entries ${j1} id)
        list(GET entries ${j2} language)
        list(GET entries ${j3} file)
        get_filename_component(file "${file}" ABSOLUTE)
        list(APPEND files "${file}")
        math(EXPR primary "${language} & 1023")
        math(EXPR sub "${language} >> 10")
        string(APPEND rc "LANGUAGE ${primary}, ${sub}\n${id} ${type} \"${file}\"\n")
    endforeach()
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources)
    if(WIN32)
        file(CONFIGURE OUTPUT ${out}.rc CONTENT "${rc}")
        # windres does not track the data files; rebuild when one changes.
        set_source_files_properties(${out}.rc PROPERTIES OBJECT_DEPENDS "${files}")
        target_sources(${target} PRIVATE ${out}.rc)
    else()
        string(REPLACE ";" "|" packed "${entries}")
        add_custom_command(
            OUTPUT ${out}.cpp
            COMMAND ${CMAKE_COMMAND} "-DENTRIES=${packed}" -DOUTPUT=${out}.cpp
                    -DBASE=${CMAKE_CURRENT_SOURCE_DIR} -P ${KIT_EMBED_SCRIPT}
            DEPENDS ${files} ${KIT_EMBED_SCRIPT}
            COMMENT "Embedding resources of ${target}"
            VERBATIM)
        target_sources(${target} PRIVATE ${out}.cpp)
    endif()
endfunction()
