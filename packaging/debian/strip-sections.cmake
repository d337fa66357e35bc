# Run by cpack on the staged files before it packs them: CPACK_STRIP_FILES
# strips the symbols, this also drops the compiler's .comment and .note
# sections, which a program never reads (what Debian's dh_strip does).
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
# The window's tone player, in the library folder (lib/ or lib/<multiarch>/).
file(GLOB_RECURSE players "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/lib/kv350-tone")
list(APPEND programs ${players})
foreach(program ${programs})
  execute_process(COMMAND "${CPACK_KV350_STRIP}" --remove-section=.comment --remove-section=.note "${program}"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not strip ${program}")
  endif()
endforeach()
