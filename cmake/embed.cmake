# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P embed.cmake
# Writes a C++ file holding the input's text as `extern const char SYMBOL[]`.
file(READ ${INPUT} content)
set(delim "BRIMSTEAD_EMBED")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}.\nextern const char ${SYMBOL}[];\nconst char ${SYMBOL}[] = R\"${delim}(${content})${delim}\";\n")
