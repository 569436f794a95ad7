# The Windows programs we ship. Each one registered here is checked by the shipping tests: its
# import table may name only DLLs that a clean Windows loads from its own system folder. They are
# shipped stripped.
#   tarnwick_ship_program(<target>)      no effect outside the Windows builds
function(tarnwick_ship_program target)
  if(WIN32)
    set_property(GLOBAL APPEND PROPERTY TARNWICK_SHIPPED_PROGRAMS ${target})
    # Users download what we ship: no symbols in it.
    target_link_options(${target} PRIVATE -s)
  endif()
endfunction()

# Called once, after every folder has registered its programs: writes their paths into
# shipped-programs.txt (scripts/build.sh reports their sizes from it) and adds the import check.
function(tarnwick_add_shipping_checks)
  if(NOT WIN32)
    return()
  endif()
  get_property(programs GLOBAL PROPERTY TARNWICK_SHIPPED_PROGRAMS)
  set(files)
  foreach(target IN LISTS programs)
    list(APPEND files $<TARGET_FILE:${target}>)
  endforeach()
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/shipped-programs.txt CONTENT "$<JOIN:${files},\n>\n")
  if(TARNWICK_TESTS)
    add_test(NAME ${TARNWICK_TEST_PREFIX}Shipping.ImportsOnlySystemDlls
      COMMAND python3 ${PROJECT_SOURCE_DIR}/tests/shipping/check_imports.py --kind ${TARNWICK_PE_KIND} ${files})
  endif()
endfunction()
