// "tmpbra01": a copy of a source's old text, kept while its new text is copied into it.
#pragma once

extern const char* const OldTextName;       // "tmpbra01", only ever whole
extern const char* const OldTextPartName;   // "tmpbra01.part": the copy while it is written
extern const char* const OldTextOwnerName;  // "tmpbra01.name": the source it belongs to, one line
