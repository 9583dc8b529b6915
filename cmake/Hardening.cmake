# The hardening that Debian builds its own packages with: fortified C library
# calls, a strong stack protector, read-only relocations bound at start-up and
# position-independent executables. The flags are dpkg-buildflags' own where
# that program exists (asked for all its hardening features), and the same
# set otherwise. Only for GCC and Clang building ELF programs; elsewhere
# (Windows) nothing is added.
#
# Beyond these, what the OpenSSF guide to compiler hardening lists for GCC
# 12: control-flow protection (an end-branch instruction at every function
# that can be reached indirectly, and code fit for a shadow stack), bounds
# checks in the C++ library's containers, probing of large stack frames,
# automatic variables zeroed where the code leaves them uninitialised, a
# stack that cannot be executed, and no loading by dlopen (the linker marks
# only shared libraries so; the C library refuses to load a
# position-independent program anyway). Each only where the compiler and
# linker take it: Clang 14, for one, zeroes variables only behind a switch it
# says it will drop.
#
# Adds the compile and link options to everything defined after the include.
# JT6400_HARDENING switches it off; a sanitizer or fuzzing build goes without
# it (fortified calls would pass by the sanitizer's checks).

option(JT6400_HARDENING "Build with the hardening flags of Debian's packages" ON)

if(NOT JT6400_HARDENING OR JT6400_SANITIZE OR JT6400_FUZZ OR WIN32 OR APPLE OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  return()
endif()

set(jt_hardening_compile)
set(jt_hardening_link)
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(DPKG_BUILDFLAGS)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${DPKG_BUILDFLAGS} --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
    if(failed)
      set(DPKG_BUILDFLAGS "")
      break()
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    # The hardening flags only: optimisation, debug information and path
    # maps are the build type's business.
    foreach(flag IN LISTS flags)
      if(flag MATCHES "^-(U|D)_FORTIFY_SOURCE|^-fstack-protector|^-fstack-clash-protection|^-fcf-protection|^-mbranch-protection|^-Wformat|^-Werror=format-security")
        list(APPEND jt_hardening_compile ${flag})
      elseif(flag MATCHES "^-Wl,-z,")
        list(APPEND jt_hardening_link ${flag})
      endif()
    endforeach()
  endforeach()
endif()
if(NOT DPKG_BUILDFLAGS)
  set(jt_hardening_compile -D_FORTIFY_SOURCE=2 -fstack-protector-strong -Wformat -Werror=format-security)
  set(jt_hardening_link -Wl,-z,relro -Wl,-z,now)
endif()
include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)
foreach(flag -fcf-protection=full -fstack-clash-protection -ftrivial-auto-var-init=zero)
  string(MAKE_C_IDENTIFIER "JT6400_HAS${flag}" known)
  check_cxx_compiler_flag(${flag} ${known})
  if(${known})
    list(APPEND jt_hardening_compile ${flag})
  endif()
endforeach()
list(APPEND jt_hardening_compile -D_GLIBCXX_ASSERTIONS)
foreach(flag -Wl,-z,noexecstack -Wl,-z,nodlopen)
  string(MAKE_C_IDENTIFIER "JT6400_HAS${flag}" known)
  check_linker_flag(CXX ${flag} ${known})
  if(${known})
    list(APPEND jt_hardening_link ${flag})
  endif()
endforeach()
list(REMOVE_DUPLICATES jt_hardening_compile)
list(REMOVE_DUPLICATES jt_hardening_link)

# The C library fortifies its calls only in optimised code and warns in every
# file otherwise: the define is left out of unoptimised (Debug) builds. A
# compiler that fortifies by default gets the level asked for, not a
# redefinition warning.
foreach(flag IN LISTS jt_hardening_compile)
  if(flag MATCHES "^-D_FORTIFY_SOURCE")
    add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;${flag}>")
  elseif(NOT flag MATCHES "^-U_FORTIFY_SOURCE")
    add_compile_options(${flag})
  endif()
endforeach()
add_link_options(${jt_hardening_link})

include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
message(STATUS "Hardening: ${jt_hardening_compile} ${jt_hardening_link} PIE")
