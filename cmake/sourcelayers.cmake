# Checks two rules of the source tree that the compiler cannot see on this
# machine; run by ctest as source_layers:
#   cmake -DSOURCE_DIR=<src> -P cmake/sourcelayers.cmake
# 1. The virtual reader's core, modules and cards include nothing of the link
#    (nor Qt SerialPort or hidapi): they are the other side of the wire.
# 2. POSIX and Windows headers appear only inside a platform #if, or in the
#    files that are built only where POSIX ptys exist, so that the window and
#    kv350ctl build wherever Qt 6 and hidapi do.
# Each breach is named with its file and include; any breach fails the run.

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<src> -P sourcelayers.cmake")
endif()
get_filename_component(SOURCE_DIR ${SOURCE_DIR} ABSOLUTE)

# Built only where POSIX ptys exist (src/sim/CMakeLists.txt).
set(posix_only_files sim/transports/ptyserver.cpp sim/simmain.cpp)
set(platform_header_regex
    "^(unistd\\.h|termios\\.h|fcntl\\.h|poll\\.h|pthread\\.h|pty\\.h|util\\.h|dlfcn\\.h|sys/.*|windows\\.h|io\\.h|winsock2?\\.h)$")
set(platform_macro_regex "Q_OS_|_WIN32|_WIN64|__unix__|__unix|__APPLE__|__linux__|__FreeBSD__|_POSIX_VERSION")
set(link_include_regex "^(link/.*|QSerialPort.*|QtSerialPort/.*|hidapi.*)$")

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h)
list(SORT sources)
set(breaches "")
foreach(file IN LISTS sources)
  set(other_side FALSE)
  if(file MATCHES "^sim/(core|modules|cards)/")
    set(other_side TRUE)
  endif()
  list(FIND posix_only_files ${file} posix_only)

  # Only the preprocessor lines; a stack of 1 (a platform condition) and 0.
  file(STRINGS ${SOURCE_DIR}/${file} lines REGEX "^[ \t]*#[ \t]*(if|ifdef|ifndef|elif|else|endif|include)")
  set(stack "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*#[ \t]*(if|ifdef|ifndef)[ \t(]+(.*)$")
      if(CMAKE_MATCH_2 MATCHES "${platform_macro_regex}")
        list(APPEND stack 1)
      else()
        list(APPEND stack 0)
      endif()
    elseif(line MATCHES "^[ \t]*#[ \t]*endif")
      if(stack)
        list(POP_BACK stack)
      endif()
    elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
      set(header ${CMAKE_MATCH_1})
      if(other_side AND header MATCHES "${link_include_regex}")
        list(APPEND breaches "src/${file}: includes ${header}: the virtual reader's core, modules and cards use no code of the link")
      endif()
      if(header MATCHES "${platform_header_regex}" AND posix_only EQUAL -1)
        list(FIND stack 1 guarded)
        if(guarded EQUAL -1)
          list(APPEND breaches "src/${file}: includes ${header} outside a platform #if (Q_OS_...)")
        endif()
      endif()
    endif()
  endforeach()
endforeach()

if(breaches)
  list(LENGTH breaches count)
  foreach(breach IN LISTS breaches)
    message("${breach}")
  endforeach()
  message(FATAL_ERROR "${count} breach(es) of the source layers")
endif()
list(LENGTH sources count)
message("source layers: ${count} files checked, no breach")
