# Fails when a file includes a folder above its own layer. The link lines
# keep the targets apart, but core/ and the subsystems share one target, so
# only this check sees an include that runs back up.
#
#   cmake -DSOURCE_DIR=<checkout> -P cmake/CheckLayers.cmake

cmake_minimum_required(VERSION 3.25)

# Each folder's floor: a file may include its own floor and those below.
set(floor_platform 0)
set(floor_core 1)
set(floor_folders 2)
set(floor_randomlist 2)
set(floor_copyrun 2)
set(floor_tags 2)
set(floor_device 3)
set(floor_library 3)
set(floor_refill 4)
set(floor_schedule 4)
set(floor_window 5)
set(floor_commandline 5)
set(floor_main 6)

function(floor_of folder out)
    if(DEFINED floor_${folder})
        set(${out} ${floor_${folder}} PARENT_SCOPE)
    else()
        set(${out} "" PARENT_SCOPE)
    endif()
endfunction()

cmake_policy(SET CMP0009 NEW) # a recursive glob follows no link
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
    ${SOURCE_DIR}/platform/*.cpp ${SOURCE_DIR}/platform/*.h
    ${SOURCE_DIR}/core/*.cpp ${SOURCE_DIR}/core/*.h
    ${SOURCE_DIR}/folders/*.cpp ${SOURCE_DIR}/folders/*.h
    ${SOURCE_DIR}/randomlist/*.cpp ${SOURCE_DIR}/randomlist/*.h
    ${SOURCE_DIR}/copyrun/*.cpp ${SOURCE_DIR}/copyrun/*.h
    ${SOURCE_DIR}/tags/*.cpp ${SOURCE_DIR}/tags/*.h
    ${SOURCE_DIR}/device/*.cpp ${SOURCE_DIR}/device/*.h
    ${SOURCE_DIR}/library/*.cpp ${SOURCE_DIR}/library/*.h
    ${SOURCE_DIR}/refill/*.cpp ${SOURCE_DIR}/refill/*.h
    ${SOURCE_DIR}/schedule/*.cpp ${SOURCE_DIR}/schedule/*.h
    ${SOURCE_DIR}/window/*.cpp ${SOURCE_DIR}/window/*.h
    ${SOURCE_DIR}/commandline/*.cpp ${SOURCE_DIR}/commandline/*.h)
# Looked for on its own: a recursive glob from the top would walk the build
# folders too.
if(EXISTS ${SOURCE_DIR}/main.cpp)
    list(APPEND sources main.cpp)
endif()

set(faults 0)
foreach(source IN LISTS sources)
    if(source STREQUAL "main.cpp")
        set(folder main)
    else()
        string(REGEX REPLACE "/.*" "" folder "${source}")
    endif()
    floor_of(${folder} own)
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*" "\\1" included "${line}")
        if(NOT included MATCHES "/")
            message(SEVERE_WARNING "${source}: \"${included}\" does not name its folder")
            math(EXPR faults "${faults} + 1")
            continue()
        endif()
        string(REGEX REPLACE "/.*" "" target "${included}")
        floor_of(${target} theirs)
        if(theirs STREQUAL "")
            message(SEVERE_WARNING "${source}: \"${included}\" is in no layer")
            math(EXPR faults "${faults} + 1")
        elseif(theirs GREATER own)
            message(SEVERE_WARNING "${source}: \"${included}\" is a layer above")
            math(EXPR faults "${faults} + 1")
        elseif(theirs EQUAL own AND own EQUAL 5 AND NOT target STREQUAL folder)
            # The window and the command line are two faces: neither uses the other.
            message(SEVERE_WARNING "${source}: \"${included}\" belongs to the other face")
            math(EXPR faults "${faults} + 1")
        elseif(theirs EQUAL own AND own EQUAL 3 AND NOT target STREQUAL folder)
            # The devices and the library index both read files through
            # tags/; neither knows the other.
            message(SEVERE_WARNING "${source}: \"${included}\" is a neighbour's, kept apart")
            math(EXPR faults "${faults} + 1")
        endif()
    endforeach()
endforeach()

list(LENGTH sources count)
if(count EQUAL 0)
    message(FATAL_ERROR "no source files under ${SOURCE_DIR}")
endif()
if(faults GREATER 0)
    message(FATAL_ERROR "${faults} include(s) out of layer in ${count} files")
endif()
message(STATUS "${count} files, every include within its layer")
