# Include roots that follow the layers. The program's headers are included by
# their folder ("comm/Communication.h"). A library sees the headers of its own
# folder and, through its links, those of the folders it links; the headers of
# a folder it does not link are not found, so an include that reaches upward
# fails to compile. Each folder gets a root of its own in the build tree that
# holds a single link to the folder: build/include/comm/comm -> src/comm.
# Where the file system cannot make links, the whole of src/ is the root: the
# build still works there, without the check.

# jt_folder_headers(TARGET [FOLDER name]): TARGET's headers are those of
# src/<name> (default: the folder of the calling CMakeLists.txt).
# src/CMakeLists.txt calls it for every target of every folder.
function(jt_folder_headers target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "FOLDER" "")
  if(arg_FOLDER)
    set(folder ${arg_FOLDER})
  else()
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  endif()
  set(source ${PROJECT_SOURCE_DIR}/src/${folder})
  set(root ${PROJECT_BINARY_DIR}/include/${folder})
  set(link ${root}/${folder})
  if(IS_SYMLINK ${link})
    file(READ_SYMLINK ${link} target_now)
  endif()
  if(NOT IS_SYMLINK ${link} OR NOT target_now STREQUAL source)
    file(REMOVE ${link})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${source} ${link} RESULT failed SYMBOLIC)
    if(failed)
      set(root ${PROJECT_SOURCE_DIR}/src)
    endif()
  endif()
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
  set_property(GLOBAL APPEND PROPERTY JT_FOLDER_ROOTS ${root})
endfunction()

# Every folder's root: for the tests and benchmarks, which may look at any
# layer.
function(jt_all_folder_roots out)
  get_property(roots GLOBAL PROPERTY JT_FOLDER_ROOTS)
  list(REMOVE_DUPLICATES roots)
  set(${out} ${roots} PARENT_SCOPE)
endfunction()
