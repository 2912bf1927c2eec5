# The program that draws the drawing tests' BMP pictures (tests/drawing/pictures); run it by
# hand when a picture changes: make_test_pictures tests/drawing/pictures
if(NOT WIN32)
    add_executable(make_test_pictures ${CMAKE_CURRENT_LIST_DIR}/make_test_pictures.cpp)
    target_link_libraries(make_test_pictures PRIVATE trob_options)
endif()

# The program that draws the editor's pictures (resources/pictures); run it by hand when a
# picture changes: make_editor_pictures resources/pictures
if(NOT WIN32)
    find_package(Freetype REQUIRED)
    find_package(Fontconfig REQUIRED)
    add_executable(make_editor_pictures ${CMAKE_CURRENT_LIST_DIR}/make_editor_pictures.cpp)
    target_link_libraries(make_editor_pictures PRIVATE trob_options Freetype::Freetype
                                                       Fontconfig::Fontconfig)
endif()
