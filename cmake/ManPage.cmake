# Writes a gzipped man page from a program's --help with help2man (cmake -P):
#   -DPROGRAM=... -DHELP2MAN=... -DNAME="one line" -DVERSION=... -DOUT=page.1.gz
#   [-DVERBS=ON: a VERBS section from each verb's 'PROGRAM VERB --help']
set(page "${OUT}")
string(REGEX REPLACE "\\.gz$" "" page "${page}")
set(include_args)
if(VERBS)
    execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${PROGRAM} --help failed")
    endif()
    string(REGEX MATCHALL "\n  [a-z]+  " verbs "${help}")
    set(text "[VERBS]\n")
    foreach(verb IN LISTS verbs)
        string(STRIP "${verb}" verb)
        execute_process(COMMAND "${PROGRAM}" ${verb} --help OUTPUT_VARIABLE usage
                        RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR "${PROGRAM} ${verb} --help failed")
        endif()
        # Each verb's text as it prints it, indented as a paragraph of its own.
        string(REPLACE "\\" "\\\\" usage "${usage}")
        set(text "${text}.TP\n.B ${verb}\n.nf\n${usage}\n.fi\n")
    endforeach()
    file(WRITE "${page}.include" "${text}")
    set(include_args --include "${page}.include")
endif()
execute_process(
    COMMAND "${HELP2MAN}" --no-info --version-string=${VERSION} --name=${NAME}
            ${include_args} --output=${page} "${PROGRAM}"
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "help2man ${PROGRAM} failed")
endif()
execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${page} failed")
endif()
