# kit_split_debug(target): moves the debug information of a linked image into
# <image>.debug beside it and strips the image, which keeps a debug link (name
# and CRC-32) to that file. Only where ShippedBuild.cmake asks for it: the
# other builds are debugged where they run.
include_guard(GLOBAL)

function(kit_split_debug target)
    if(NOT KIT_SPLIT_DEBUG)
        return()
    endif()
    set(image $<TARGET_FILE:${target}>)
    # objcopy writes the current time into a PE header it rewrites, unless
    # SOURCE_DATE_EPOCH names one; 0 is what ld's --no-insert-timestamp writes.
    set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${objcopy} --only-keep-debug ${image} ${image}.debug
        COMMAND ${objcopy} --strip-all --add-gnu-debuglink=${image}.debug ${image}
        COMMENT "Stripping ${target}; debug information in $<TARGET_FILE_NAME:${target}>.debug"
        VERBATIM)
endfunction()
