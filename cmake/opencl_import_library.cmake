# OpenCL for a Windows build without an SDK: the import library for OpenCL.dll is made
# from OpenCL.def with the toolchain's dlltool, and the Khronos headers under
# KORRAPP_OPENCL_HEADERS serve. That folder is not put on the include path itself (it
# may hold another C library's headers, which would replace the toolchain's): a folder
# holding only a link to its CL/ is.
set(_korrapp_opencl_dir ${PROJECT_BINARY_DIR}/opencl)
set(_korrapp_opencl_def ${CMAKE_CURRENT_LIST_DIR}/OpenCL.def)
set(_korrapp_opencl_lib ${_korrapp_opencl_dir}/libOpenCL.dll.a)

if(NOT EXISTS ${KORRAPP_OPENCL_HEADERS}/CL/opencl.hpp)
  message(FATAL_ERROR "No CL/opencl.hpp under KORRAPP_OPENCL_HEADERS (${KORRAPP_OPENCL_HEADERS})")
endif()
if(NOT CMAKE_DLLTOOL)
  message(FATAL_ERROR "No dlltool to make the OpenCL import library: set CMAKE_DLLTOOL")
endif()
file(MAKE_DIRECTORY ${_korrapp_opencl_dir}/include)
file(CREATE_LINK ${KORRAPP_OPENCL_HEADERS}/CL ${_korrapp_opencl_dir}/include/CL SYMBOLIC)

add_custom_command(
  OUTPUT ${_korrapp_opencl_lib}
  COMMAND ${CMAKE_DLLTOOL} --input-def ${_korrapp_opencl_def} --output-lib ${_korrapp_opencl_lib}
  DEPENDS ${_korrapp_opencl_def}
  COMMENT "Making the import library for OpenCL.dll"
  VERBATIM)
add_custom_target(opencl_import_library DEPENDS ${_korrapp_opencl_lib})

add_library(korr_opencl_import INTERFACE)
target_include_directories(korr_opencl_import SYSTEM INTERFACE ${_korrapp_opencl_dir}/include)
target_link_libraries(korr_opencl_import INTERFACE ${_korrapp_opencl_lib})
add_dependencies(korr_opencl_import opencl_import_library)
add_library(OpenCL::OpenCL ALIAS korr_opencl_import)
