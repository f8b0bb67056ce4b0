# cmake -DINPUT=file -DOUTPUT=file.inc -DNAME=kName -P EmbedFile.cmake
# writes the bytes of INPUT as a C++ array NAME, to be #included.
file(READ ${INPUT} bytes HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n\t" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Made from ${INPUT} by EmbedFile.cmake.\nconst unsigned char ${NAME}[] = {\n\t${bytes}\n};\n")
