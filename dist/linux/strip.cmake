# Run by CPack on the staged files before it packs them: strips the programs as Debian's
# dh_strip does, the compiler's .comment section included (CMake's own strip keeps it).
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_DIRECTORY}/*/bin/*")
foreach(program IN LISTS programs)
    execute_process(COMMAND "${CPACK_COLORSPLIT_STRIP}" --remove-section=.comment
        --remove-section=.note --strip-unneeded "${program}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
