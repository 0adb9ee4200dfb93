# Generates C++ message, service and action types with the installed rosidl tools:
# definitions (.msg/.srv/.action) are translated to IDL, then the C++ headers and the
# C++ introspection type support are generated from the IDL. Generation is a build step
# that re-runs only when a definition, a dependency's definition or a template changes.

find_program(RAO_ROSIDL rosidl PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
set(RAO_ROSIDL_PYTHON /usr/bin/python3 CACHE FILEPATH "Python interpreter running the rosidl tools")

find_path(RAO_ROSIDL_RUNTIME_C_INCLUDE rosidl_runtime_c/message_type_support_struct.h
  PATH_SUFFIXES rosidl_runtime_c REQUIRED)
find_path(RAO_ROSIDL_RUNTIME_CPP_INCLUDE rosidl_runtime_cpp/traits.hpp
  PATH_SUFFIXES rosidl_runtime_cpp REQUIRED)
find_path(RAO_ROSIDL_TYPESUPPORT_INTERFACE_INCLUDE rosidl_typesupport_interface/macros.h
  PATH_SUFFIXES rosidl_typesupport_interface REQUIRED)
find_path(RAO_ROSIDL_INTROSPECTION_CPP_INCLUDE rosidl_typesupport_introspection_cpp/message_introspection.hpp
  PATH_SUFFIXES rosidl_typesupport_introspection_cpp REQUIRED)
find_path(RAO_ROSIDL_INTROSPECTION_C_INCLUDE rosidl_typesupport_introspection_c/field_types.h
  PATH_SUFFIXES rosidl_typesupport_introspection_c REQUIRED)
find_library(RAO_ROSIDL_INTROSPECTION_CPP_LIBRARY rosidl_typesupport_introspection_cpp REQUIRED)
find_library(RAO_ROSIDL_RUNTIME_C_LIBRARY rosidl_runtime_c REQUIRED)

if(NOT TARGET rao_rosidl_runtime)
  add_library(rao_rosidl_runtime INTERFACE)
  target_include_directories(rao_rosidl_runtime SYSTEM INTERFACE
    ${RAO_ROSIDL_RUNTIME_C_INCLUDE} ${RAO_ROSIDL_RUNTIME_CPP_INCLUDE}
    ${RAO_ROSIDL_TYPESUPPORT_INTERFACE_INCLUDE} ${RAO_ROSIDL_INTROSPECTION_C_INCLUDE}
    ${RAO_ROSIDL_INTROSPECTION_CPP_INCLUDE})
  target_link_libraries(rao_rosidl_runtime INTERFACE
    ${RAO_ROSIDL_INTROSPECTION_CPP_LIBRARY} ${RAO_ROSIDL_RUNTIME_C_LIBRARY})
endif()

file(GLOB RAO_ROSIDL_ADAPTER_TEMPLATES /usr/lib/python3/dist-packages/rosidl_adapter/resource/*.em)
file(GLOB RAO_ROSIDL_CPP_TEMPLATES /usr/share/rosidl_generator_cpp/resource/*.em)
file(GLOB RAO_ROSIDL_INTROSPECTION_TEMPLATES /usr/share/rosidl_typesupport_introspection_cpp/resource/*.em)

set(RAO_ROSIDL_OUTPUT_DIR ${CMAKE_BINARY_DIR}/rosidl_generated)

# Same file-name rule as rosidl: "ColorRGBA" -> "color_rgba", "TFMessage" -> "tf_message".
function(_rao_rosidl_snake_case camel out_var)
  string(REGEX REPLACE "(.)([A-Z][a-z]+)" "\\1_\\2" value "${camel}")
  string(REGEX REPLACE "([a-z0-9])([A-Z])" "\\1_\\2" value "${value}")
  string(TOLOWER "${value}" value)
  set(${out_var} "${value}" PARENT_SCOPE)
endfunction()

# rao_generate_interfaces(<package> <definition files...> DEPENDENCIES <packages...>)
# Definition files are relative to the current source directory (msg/Header.msg).
# Creates the static library <package> whose include directories make
# #include <package/msg/name.hpp> work, linked to the dependencies' libraries.
function(rao_generate_interfaces package)
  cmake_parse_arguments(ARG "" "" "DEPENDENCIES" ${ARGN})
  set(definitions ${ARG_UNPARSED_ARGUMENTS})
  if(NOT definitions)
    message(FATAL_ERROR "rao_generate_interfaces(${package}): no definition files")
  endif()

  set(idl_root ${RAO_ROSIDL_OUTPUT_DIR}/idl/${package})
  set(cpp_root ${RAO_ROSIDL_OUTPUT_DIR}/cpp/${package})
  set(ts_root ${RAO_ROSIDL_OUTPUT_DIR}/introspection_cpp/${package})

  set(source_files)
  set(idl_tuples)
  set(idl_outputs)
  set(cpp_outputs)
  set(type_support_outputs)
  set(type_support_sources)
  foreach(definition IN LISTS definitions)
    get_filename_component(kind ${definition} DIRECTORY)
    get_filename_component(name ${definition} NAME_WE)
    if(NOT kind MATCHES "^(msg|srv|action)$")
      message(FATAL_ERROR "${definition}: definitions live in msg/, srv/ or action/")
    endif()
    _rao_rosidl_snake_case(${name} stem)
    list(APPEND source_files ${CMAKE_CURRENT_SOURCE_DIR}/${definition})
    list(APPEND idl_tuples ${idl_root}:${kind}/${name}.idl)
    list(APPEND idl_outputs ${idl_root}/${kind}/${name}.idl)
    list(APPEND cpp_outputs
      ${cpp_root}/${kind}/${stem}.hpp
      ${cpp_root}/${kind}/detail/${stem}__struct.hpp
      ${cpp_root}/${kind}/detail/${stem}__builder.hpp
      ${cpp_root}/${kind}/detail/${stem}__traits.hpp)
    list(APPEND type_support_outputs
      ${ts_root}/${kind}/detail/${stem}__rosidl_typesupport_introspection_cpp.hpp)
    list(APPEND type_support_sources ${ts_root}/${kind}/detail/${stem}__type_support.cpp)
  endforeach()
  list(APPEND type_support_outputs ${type_support_sources})

  # The dependencies' definitions (transitively) shape the generated code too, so a change
  # there regenerates this package.
  set(dependency_sources)
  set(all_dependencies)
  foreach(dependency IN LISTS ARG_DEPENDENCIES)
    get_property(known GLOBAL PROPERTY RAO_INTERFACES_${dependency}_SOURCES SET)
    if(NOT known)
      message(FATAL_ERROR "rao_generate_interfaces(${package}): ${dependency} is not generated before it")
    endif()
    get_property(transitive GLOBAL PROPERTY RAO_INTERFACES_${dependency}_DEPENDENCIES)
    list(APPEND all_dependencies ${dependency} ${transitive})
  endforeach()
  list(REMOVE_DUPLICATES all_dependencies)
  foreach(dependency IN LISTS all_dependencies)
    get_property(sources GLOBAL PROPERTY RAO_INTERFACES_${dependency}_SOURCES)
    list(APPEND dependency_sources ${sources})
  endforeach()
  set_property(GLOBAL PROPERTY RAO_INTERFACES_${package}_SOURCES ${source_files})
  set_property(GLOBAL PROPERTY RAO_INTERFACES_${package}_DEPENDENCIES ${all_dependencies})

  # The generators leave unchanged files with their old time stamps, so each step touches its
  # outputs; otherwise it would re-run on every build. The C++ headers and the type support
  # are generated side by side from the IDL.
  set(rosidl ${CMAKE_COMMAND} -E env AMENT_PREFIX_PATH=/usr ${RAO_ROSIDL_PYTHON} ${RAO_ROSIDL})
  add_custom_command(
    OUTPUT ${idl_outputs}
    COMMAND ${rosidl} translate --to idl -o ${idl_root} ${package} ${definitions} > ${CMAKE_CURRENT_BINARY_DIR}/rosidl_translate.log
    COMMAND ${CMAKE_COMMAND} -E touch_nocreate ${idl_outputs}
    DEPENDS ${source_files} ${dependency_sources} ${RAO_ROSIDL_ADAPTER_TEMPLATES}
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    COMMENT "Translating the interfaces of ${package} to IDL"
    VERBATIM)
  add_custom_command(
    OUTPUT ${cpp_outputs}
    COMMAND ${rosidl} generate -t cpp -o ${cpp_root} ${package} ${idl_tuples}
    COMMAND ${CMAKE_COMMAND} -E touch_nocreate ${cpp_outputs}
    DEPENDS ${idl_outputs} ${RAO_ROSIDL_CPP_TEMPLATES}
    COMMENT "Generating the C++ types of ${package}"
    VERBATIM)
  add_custom_command(
    OUTPUT ${type_support_outputs}
    COMMAND ${rosidl} generate -ts introspection_cpp -o ${ts_root} ${package} ${idl_tuples}
    COMMAND ${CMAKE_COMMAND} -E touch_nocreate ${type_support_outputs}
    DEPENDS ${idl_outputs} ${RAO_ROSIDL_INTROSPECTION_TEMPLATES}
    COMMENT "Generating the C++ introspection type support of ${package}"
    VERBATIM)
  # Its own target, so that packages generate in parallel, ahead of the libraries they wait for.
  add_custom_target(${package}__rosidl DEPENDS ${idl_outputs} ${cpp_outputs} ${type_support_outputs})

  add_library(${package} STATIC ${type_support_sources})
  target_include_directories(${package} SYSTEM PUBLIC
    ${RAO_ROSIDL_OUTPUT_DIR}/cpp ${RAO_ROSIDL_OUTPUT_DIR}/introspection_cpp)
  target_link_libraries(${package} PUBLIC ${ARG_DEPENDENCIES} rao_rosidl_runtime)
  add_dependencies(${package} ${package}__rosidl)
  set_target_properties(${package} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()
