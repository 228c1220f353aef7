# The program's translations. Every po/<lang>.po is compiled into <bin>/languages/<lang>/main.mo
# beside the executable, where an installation has it too; `update-translations` extracts
# po/main.pot from the sources and merges it into every po/<lang>.po.

find_program(MSGFMT msgfmt REQUIRED)
find_program(XGETTEXT xgettext)
find_program(MSGMERGE msgmerge)

# A translated format with its "%s" missing or doubled, or a menu text that lost its '&', fails
# the build here rather than misbehaving at run time.
set(SENTAK_MSGFMT_OPTIONS --check --check-accelerators=&)
# "%s" texts are marked c-format by xgettext itself; translator comments start with TRANSLATORS:.
set(SENTAK_XGETTEXT_OPTIONS
    --language=C++ --from-code=UTF-8 --keyword=_ --keyword=wxGetTranslation --keyword=wxTRANSLATE
    --keyword=TranslatedFormat
    --keyword=TranslatedPlural:1,2
    --add-comments=TRANSLATORS: --sort-by-file --package-name=Sentak
    --package-version=${PROJECT_VERSION} "--copyright-holder=The Sentak developers")

# A new po/<lang>.po is picked up by the next build.
file(GLOB SENTAK_CATALOGUES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/po/*.po)
file(GLOB_RECURSE SENTAK_TRANSLATED_SOURCES RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/src/*.cpp ${CMAKE_SOURCE_DIR}/src/*.h)
list(SORT SENTAK_TRANSLATED_SOURCES)

set(SENTAK_LANGUAGES_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/languages)
set(compiled_catalogues)
foreach(catalogue IN LISTS SENTAK_CATALOGUES)
    cmake_path(GET catalogue STEM language)
    set(compiled ${SENTAK_LANGUAGES_DIR}/${language}/main.mo)
    add_custom_command(OUTPUT ${compiled}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${SENTAK_LANGUAGES_DIR}/${language}
        COMMAND ${MSGFMT} ${SENTAK_MSGFMT_OPTIONS} --output-file=${compiled} ${catalogue}
        DEPENDS ${catalogue}
        COMMENT "Compiling the ${language} catalogue"
        VERBATIM)
    list(APPEND compiled_catalogues ${compiled})
endforeach()
add_custom_target(translations ALL DEPENDS ${compiled_catalogues})
add_dependencies(sentak translations)

if(XGETTEXT AND MSGMERGE)
    set(merges)
    foreach(catalogue IN LISTS SENTAK_CATALOGUES)
        list(APPEND merges COMMAND ${MSGMERGE} --quiet --update --backup=none ${catalogue}
                                   po/main.pot)
    endforeach()
    add_custom_target(update-translations
        COMMAND ${XGETTEXT} ${SENTAK_XGETTEXT_OPTIONS} --output=po/main.pot
                ${SENTAK_TRANSLATED_SOURCES}
        ${merges}
        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
        COMMENT "Extracting po/main.pot and merging it into the translations"
        VERBATIM)
endif()
