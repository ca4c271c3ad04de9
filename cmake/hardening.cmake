# SPDX-License-Identifier: MIT
# Warnings, and the compiler's and linker's hardening for the target at hand;
# included by the top-level CMakeLists.txt before anything is built.
add_compile_options(-Wall -Wextra -Wpedantic)
if(TARVO_WERROR)
  add_compile_options(-Werror)
endif()
# Hardened as distributions build their packages: stack protector, stack
# clash protection, the processor's own control-flow or branch protection,
# fortified libc calls, a position-independent executable, and relocations
# made read-only with immediate binding. Each option goes in only where this
# compiler and linker take it for this target (-fcf-protection is x86's,
# -mbranch-protection ARM's), and none where the packager's own flags
# (CXXFLAGS, LDFLAGS, as dpkg-buildflags gives them) already choose it.
include(CheckPIESupported)
include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)
if(NOT EMSCRIPTEN) # WebAssembly is one module, loaded where the browser puts it
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
endif()
function(tarvo_harden_compile flag packager_choice)
  if(CMAKE_CXX_FLAGS MATCHES "${packager_choice}")
    return()
  endif()
  string(MAKE_C_IDENTIFIER "TARVO_HAS${flag}" var)
  check_cxx_compiler_flag(${flag} ${var})
  if(${var})
    add_compile_options(${flag})
  endif()
endfunction()
function(tarvo_harden_link flag packager_choice)
  if(CMAKE_EXE_LINKER_FLAGS MATCHES "${packager_choice}")
    return()
  endif()
  string(MAKE_C_IDENTIFIER "TARVO_HAS${flag}" var)
  check_linker_flag(CXX ${flag} ${var})
  if(${var})
    add_link_options(${flag})
  endif()
endfunction()
# WebAssembly needs none of these: its code and its call stack lie outside
# the memory a program can write to.
if(NOT EMSCRIPTEN)
  tarvo_harden_compile(-fstack-protector-strong "-f(no-)?stack-protector")
  if(NOT WIN32) # Windows probes every page of a large stack frame itself (and MinGW's GCC 12 fails on the option)
    tarvo_harden_compile(-fstack-clash-protection "-f(no-)?stack-clash-protection")
  endif()
  tarvo_harden_compile(-fcf-protection "-fcf-protection")
  tarvo_harden_compile(-mbranch-protection=standard "-mbranch-protection")
  if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug" AND NOT TARVO_SANITIZE
     AND NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
    # _FORTIFY_SOURCE needs the optimizer, and the sanitizers replace those
    # checks. Undefined first, in case the compiler sets it by default.
    add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
  endif()
  tarvo_harden_link(LINKER:-z,relro "-z,relro")
  tarvo_harden_link(LINKER:-z,now "-z,now")
endif()
if(WIN32)
  # Windows' own: addresses randomized (above 4 GiB too), data never run.
  tarvo_harden_link(LINKER:--dynamicbase "--dynamicbase")
  tarvo_harden_link(LINKER:--high-entropy-va "--high-entropy-va")
  tarvo_harden_link(LINKER:--nxcompat "--nxcompat")
  # One self-contained program: the C++ runtime, libgcc and the threads
  # library go inside, so it needs none but Windows' own DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # MinGW keeps the stack protector's and the fortified calls' checks in
  # libssp, which the compiler driver links in when told at link time too.
  if(TARVO_HAS_fstack_protector_strong)
    add_link_options(-fstack-protector-strong)
  endif()
  # The same sources give the same bytes: no time stamp in the PE header, no
  # build folder's path in the code; and a release carries no symbols.
  add_link_options(LINKER:--no-insert-timestamp)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
  if(CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
    add_link_options(-s)
  endif()
endif()
if(TARVO_SANITIZE)
  add_compile_options(-fsanitize=${TARVO_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TARVO_SANITIZE})
endif()
