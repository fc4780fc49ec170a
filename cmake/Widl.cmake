# Type libraries and headers from our IDL files, with MinGW's widl. The IDL
# imports come from Debian's libwine-dev, stdole2.tlb from Wine's runtime.
set(VELKOR_WIDL_INCLUDE /usr/include/wine/wine/windows)
set(VELKOR_STDOLE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)

# velkor_widl(<idl> HEADER <name.h> [IIDS <name_i.c>] [TLB <name.tlb> ARCH win32|win64] [IMPORTS <dir>...])
# Outputs go to the current binary dir.
function(velkor_widl idl)
  cmake_parse_arguments(W "" "HEADER;IIDS;TLB;ARCH" "IMPORTS;DEPENDS" ${ARGN})
  get_filename_component(idl_path ${idl} ABSOLUTE)
  get_filename_component(idl_dir ${idl_path} DIRECTORY)
  set(includes -I${idl_dir} -I${VELKOR_WIDL_INCLUDE})
  foreach(dir ${W_IMPORTS})
    list(APPEND includes -I${dir})
  endforeach()
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  set(deps ${idl_path} ${W_DEPENDS})
  add_custom_command(OUTPUT ${out}/${W_HEADER}
    COMMAND ${VELKOR_WIDL} ${includes} -h -o ${out}/${W_HEADER} ${idl_path}
    DEPENDS ${deps} VERBATIM)
  if(W_IIDS)
    add_custom_command(OUTPUT ${out}/${W_IIDS}
      COMMAND ${VELKOR_WIDL} ${includes} -u -o ${out}/${W_IIDS} ${idl_path}
      DEPENDS ${deps} VERBATIM)
  endif()
  if(W_TLB)
    add_custom_command(OUTPUT ${out}/${W_TLB}
      COMMAND ${VELKOR_WIDL} --${W_ARCH} ${includes} -L${VELKOR_STDOLE_DIR} -t -o ${out}/${W_TLB} ${idl_path}
      DEPENDS ${deps} VERBATIM)
  endif()
endfunction()
