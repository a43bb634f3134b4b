# Install rules shared by the programs.
include(GNUInstallDirs)

if(UNIX)
  find_program(RK_GZIP gzip REQUIRED)
endif()

# Builds everything the install step copies, and nothing else (no tests).
add_custom_target(rk_installed)

# rk_compress(FILE OUTPUT_VAR): FILE compressed the way Debian ships manual
# pages and change logs (best compression, no name or time stamp inside), built
# with the installed files; OUTPUT_VAR receives the .gz path in the build tree.
function(rk_compress source output_var)
  get_filename_component(name "${source}" NAME)
  set(packed "${PROJECT_BINARY_DIR}/compressed/${name}.gz")
  add_custom_command(OUTPUT "${packed}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/compressed"
    COMMAND ${RK_GZIP} -9nc "${source}" > "${packed}"
    DEPENDS "${source}"
    VERBATIM)
  add_custom_target(compress-${name} ALL DEPENDS "${packed}")
  add_dependencies(rk_installed compress-${name})
  set(${output_var} "${packed}" PARENT_SCOPE)
endfunction()

# rk_install_program(TARGET): the program goes to bin/; on Linux its manual
# page packaging/man/TARGET.1 (@PROJECT_VERSION@ filled in) goes to man1/,
# compressed.
function(rk_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  add_dependencies(rk_installed ${target})
  if(UNIX AND NOT APPLE)
    # Debian's hardening: a fully read-only global offset table.
    target_link_options(${target} PRIVATE -Wl,-z,relro,-z,now)
  endif()
  if(NOT UNIX)
    return()
  endif()
  configure_file("${PROJECT_SOURCE_DIR}/packaging/man/${target}.1" "${PROJECT_BINARY_DIR}/man/${target}.1" @ONLY)
  rk_compress("${PROJECT_BINARY_DIR}/man/${target}.1" page)
  install(FILES "${page}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# rk_deploy_windows(TARGET): with a Windows Qt kit, installing also copies the
# DLLs the program links and runs Qt's windeployqt on it (Qt libraries and
# plugins, compiler runtime), so bin/ becomes a folder that runs on a PC
# without Qt. Elsewhere it does nothing.
function(rk_deploy_windows target)
  if(NOT WIN32 OR CMAKE_CROSSCOMPILING)
    return()
  endif()
  if(TARGET Qt6::windeployqt)
    set(deploy "$<TARGET_FILE:Qt6::windeployqt>")
  else()
    find_program(RK_WINDEPLOYQT windeployqt HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}" REQUIRED)
    set(deploy "${RK_WINDEPLOYQT}")
  endif()
  install(FILES "$<TARGET_RUNTIME_DLLS:${target}>" DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The panel loads no Qt translations, so none are copied.
  install(CODE "execute_process(COMMAND \"${deploy}\" --no-translations --compiler-runtime
    \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${target}>\"
    COMMAND_ERROR_IS_FATAL ANY)")
endfunction()
