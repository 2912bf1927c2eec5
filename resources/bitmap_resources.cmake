# trob_bitmap_resources(<name> [<id> <bmp file>]...)
#
# Makes an INTERFACE library <name> that binds the BMP files to their numeric ids in whatever
# links it: a .rc file on Windows, a generated table of the file bytes elsewhere (read by the
# soft home's resource loader). Link exactly one such library into each program or library.
function(trob_bitmap_resources name)
    set(entries ${ARGN})
    list(LENGTH entries length)
    math(EXPR odd "${length} % 2")
    if(odd)
        message(FATAL_ERROR "trob_bitmap_resources(${name}): ids and files must come in pairs")
    endif()
    add_library(${name} INTERFACE)
    set(files "")
    if(WIN32)
        set(rc "${CMAKE_CURRENT_BINARY_DIR}/${name}.rc")
        set(text "// Generated: the pictures of ${name}\n")
        while(entries)
            list(POP_FRONT entries id file)
            get_filename_component(file "${file}" ABSOLUTE)
            string(APPEND text "${id} BITMAP \"${file}\"\n")
            list(APPEND files "${file}")
        endwhile()
        file(CONFIGURE OUTPUT "${rc}" CONTENT "${text}")
        set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${files}")
        target_sources(${name} INTERFACE "${rc}")
        return()
    endif()
    set(source "${CMAKE_CURRENT_BINARY_DIR}/${name}.cpp")
    set(arrays "")
    set(table "")
    set(count 0)
    while(entries)
        list(POP_FRONT entries id file)
        get_filename_component(file "${file}" ABSOLUTE)
        list(APPEND files "${file}")
        file(READ "${file}" hex HEX)
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
        string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)"
                             "\\1\n    " bytes "${bytes}")
        string(APPEND arrays "const uint8_t picture${count}[] = {\n    ${bytes}};\n")
        string(APPEND table "    {${id}, picture${count}, sizeof picture${count}},\n")
        math(EXPR count "${count} + 1")
    endwhile()
    if(count EQUAL 0)
        set(table "    {0, nullptr, 0},\n")
    endif()
    file(CONFIGURE OUTPUT "${source}" CONTENT
"// Generated from BMP files by trob_bitmap_resources: the pictures of ${name}.
#include \"resources/bitmap_resources.h\"

namespace {
${arrays}} // namespace

const BitmapResource trobBitmapResources[] = {
${table}};
const size_t trobBitmapResourceCount = ${count};
")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${files})
    target_sources(${name} INTERFACE "${source}")
endfunction()
