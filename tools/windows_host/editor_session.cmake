# The Windows test host's editor session (Windows builds only): the plug-in's editor in a
# real top-level window, driven with real input. Lands beside the DLL so that a bare
# "TROBEdit.dll" finds it.
add_executable(trob_windows_host
    ${CMAKE_CURRENT_LIST_DIR}/editor_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/editor_session.cpp
    ${PROJECT_SOURCE_DIR}/tools/demo_signal.cpp)
target_link_libraries(trob_windows_host PRIVATE trob_plugin_host trob_options user32 gdi32)
set_target_properties(trob_windows_host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
add_dependencies(trob_windows_host TROBEdit)
