# The engine and the programs that carry it are built without C++ exceptions: the engine
# reports by results, and running out of memory goes through the new handler and its
# reserve (player/core/swf/reserve.h). Without them the unwind tables, the landing pads and
# the unwinder itself stay out of the shipped programs. Natively only exceptions go: the
# unwind tables stay there for debuggers and profilers, and cost nothing that ships.
# Tests and GoogleTest keep exceptions; they expect none from the engine.
function(flickwell_without_exceptions)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions>)
    # 32-bit Windows unwinds through these tables only for exceptions. On x86_64 the same
    # information is the system's own unwind data, which debuggers and crash reports walk;
    # and GCC 12 fails inside its link-time step without it there.
    if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
      target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables)
    endif()
  endforeach()
endfunction()

# For the programs that carry the player: the libraries' unwind tables left out at link.
function(flickwell_discard_unwind_tables)
  foreach(target IN LISTS ARGN)
    target_link_options(${target} PRIVATE -Wl,-T,${PROJECT_SOURCE_DIR}/cmake/discard_unwind.ld)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
                 ${PROJECT_SOURCE_DIR}/cmake/discard_unwind.ld)
  endforeach()
endfunction()
