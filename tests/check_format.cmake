# Every C++ source of the project follows .clang-format.
#   cmake -DROOT=<source folder> -DCLANG_FORMAT=<clang-format> -P check_format.cmake
file(GLOB_RECURSE sources LIST_DIRECTORIES false
    ${ROOT}/app/*.cpp ${ROOT}/bench/*.cpp ${ROOT}/core/*.cpp ${ROOT}/core/*.h
    ${ROOT}/fuzz/*.cpp ${ROOT}/fuzz/*.h ${ROOT}/platform/*.cpp ${ROOT}/platform/*.h
    ${ROOT}/samples/*.cpp ${ROOT}/session/*.cpp ${ROOT}/session/*.h ${ROOT}/tests/*.cpp
    ${ROOT}/tests/*.h ${ROOT}/ui/*.cpp ${ROOT}/ui/*.h)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run -Werror ${sources}
    WORKING_DIRECTORY ${ROOT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "Sources differ from .clang-format (run clang-format -i on them)")
endif()
list(LENGTH sources count)
message(STATUS "format: ${count} files follow .clang-format")
