# Writes OUTPUT, a source that returns the text of INPUT.  Line breaks and the
# indentation after them are dropped (a JSON string holds no raw line break):
# the text is parsed at every start.
file(READ ${INPUT} text)
string(REGEX REPLACE "\n[ \t]*" "" text "${text}")
file(WRITE ${OUTPUT} "// Generated from config/default.json and the format catalog.\nconst char* PXC_DefaultConfiguration() {\n  return R\"imr_json(${text})imr_json\";\n}\n")
