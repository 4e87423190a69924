# Checks the rooms of the subsystems: each folder may include the folders
# below it and never those above (see the layout table of the README). A
# lower room reaches a higher one only through an interface it declares
# itself, so any #include of a higher room is a mistake. Every build runs it
# (the check_boundaries target), and so does the native test
# include_boundaries:
#   cmake -DSOURCE_DIR=<tree> -P cmake/CheckBoundaries.cmake
# Each rule is "folder:the folders it must not include". The simulated
# handheld shares only the component's interface header with the program:
# it decodes the records with its own code, so that one mistake in an
# encoder and its decoder cannot hide itself. The drawing effects are the
# bottom of the HTML subsystem: the image buttons, the renderer and the tip
# use them, and they use none of those; the renderer knows nothing of the
# tip and the label that it draws for.
set(rules
  "device:ui,mail"
  "mail:ui,device"
  "imaging:ui,device,mail"
  "effects:app,imaging,device,mail,ui,html,tooltip"
  "html:app,imaging,device,mail,ui,tooltip"
  "tooltip:app,imaging,device,mail,ui"
  "toolkit:app,imaging,device,mail,ui,effects,html,tooltip"
  "tools/handheld_sim:app,imaging,device,mail,ui,effects,html,tooltip,toolkit")
set(shared_with_the_simulator "device/HandheldInterfaces.h")

set(violations "")
foreach(rule ${rules})
  string(REPLACE ":" ";" parts "${rule}")
  list(GET parts 0 folder)
  list(GET parts 1 forbidden)
  string(REPLACE "," ";" forbidden "${forbidden}")
  file(GLOB sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line ${includes})
      # The first folder of the included path, after any "../".
      if(line MATCHES "include[ \t]*[\"<](\\.\\./)*([A-Za-z_]+)/")
        list(FIND forbidden "${CMAKE_MATCH_2}" hit)
        set(shared -1)
        if(folder STREQUAL "tools/handheld_sim")
          string(FIND "${line}" "${shared_with_the_simulator}" shared)
        endif()
        if(NOT hit EQUAL -1 AND shared EQUAL -1)
          file(RELATIVE_PATH shown ${SOURCE_DIR} ${source})
          string(STRIP "${line}" line)
          string(APPEND violations "  ${shown}: ${line}\n")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes that cross a room's boundary:\n${violations}")
endif()
message(STATUS "Every room keeps to its boundaries")
