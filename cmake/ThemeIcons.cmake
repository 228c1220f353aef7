# Images of the icon names the tray sets (the desktop theme's question mark and warning sign), for
# StatusNotifierItem hosts whose theme lacks them: without a theme, such a host draws no icon at
# all rather than the item's own pixmaps. Drawn by us in ImageMagick's vector language and
# rendered at build time into SENTAK_THEME_ICONS_DIR, beside the built Resources/, laid out as
# hosts look there: hicolor/<N>x<N>/status/<name>.png, and <name>.png at the top.

find_program(CONVERT convert REQUIRED)
set(SENTAK_THEME_ICONS_DIR ${CMAKE_BINARY_DIR}/bin/Resources/Icons/theme)
set(theme_icons)
foreach(name IN ITEMS dialog-question dialog-warning)
    set(source ${CMAKE_SOURCE_DIR}/resources/linux/theme-icons/${name}.mvg)
    # The sizes panels draw at, from 16 px to HiDPI.
    foreach(size IN ITEMS 16 22 24 32 48 64)
        set(folder ${SENTAK_THEME_ICONS_DIR}/hicolor/${size}x${size}/status)
        # No time stamps in the files, so that the same sources make the same package.
        add_custom_command(OUTPUT ${folder}/${name}.png
            COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
            COMMAND ${CONVERT} -background none MVG:${source} -resize ${size}x${size}
                    -define png:exclude-chunks=date,time PNG32:${folder}/${name}.png
            DEPENDS ${source}
            VERBATIM)
        list(APPEND theme_icons ${folder}/${name}.png)
    endforeach()
    add_custom_command(OUTPUT ${SENTAK_THEME_ICONS_DIR}/${name}.png
        COMMAND ${CMAKE_COMMAND} -E copy ${folder}/${name}.png ${SENTAK_THEME_ICONS_DIR}/${name}.png
        DEPENDS ${folder}/${name}.png
        VERBATIM)
    list(APPEND theme_icons ${SENTAK_THEME_ICONS_DIR}/${name}.png)
endforeach()
add_custom_target(theme-icons ALL DEPENDS ${theme_icons})
add_dependencies(sentak theme-icons)
