# Writes OUTPUT, a source that returns the text of INPUT.
file(READ ${INPUT} text)
file(WRITE ${OUTPUT} "// Generated from config/default.json and the format catalog.\nconst char* PXC_DefaultConfiguration() {\n  return R\"imr_json(${text})imr_json\";\n}\n")
