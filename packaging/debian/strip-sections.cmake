# Run by cpack on the staged files before it packs them: CPACK_STRIP_FILES
# strips the symbols, this also drops the compiler's .comment and .note
# sections, which a program never reads (what Debian's dh_strip does).
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
foreach(program ${programs})
  execute_process(COMMAND "${CPACK_KV350_STRIP}" --remove-section=.comment --remove-section=.note "${program}"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not strip ${program}")
  endif()
endforeach()
