# lockora_windows_resources(<target> <description> <execution level>)
# Gives a Windows executable its icons, version strings and manifest
# (app/lockora.rc.in, app/lockora.manifest). The execution level is
# "requireAdministrator" for the program, "asInvoker" for the console tool.
function(lockora_windows_resources target description level)
  set(LOCKORA_DESCRIPTION ${description})
  set(LOCKORA_EXE_NAME ${target})
  set(LOCKORA_EXECUTION_LEVEL ${level})
  set(LOCKORA_ICON ${PROJECT_SOURCE_DIR}/app/lockora.ico)
  set(LOCKORA_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/app/lockora.manifest ${LOCKORA_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/app/lockora.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS
               ${LOCKORA_ICON} ${LOCKORA_MANIFEST})
endfunction()
